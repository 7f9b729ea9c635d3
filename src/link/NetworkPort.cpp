#include "NetworkPort.h"

#include <QUrl>

namespace {

constexpr QLatin1StringView kRaw("tcp");
constexpr QLatin1StringView kRfc2217("rfc2217");

} // namespace

bool NetworkPort::isNetwork(const QString &device)
{
    return device.contains(QLatin1String("://"));
}

std::optional<NetworkPort> NetworkPort::parse(const QString &device)
{
    if (!isNetwork(device))
        return std::nullopt;
    const QUrl url(device.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() < 1 || url.port() > 65535
        || !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery()
        || url.hasFragment() || !url.userInfo().isEmpty())
        return std::nullopt;
    NetworkPort port;
    const QString scheme = url.scheme().toLower();
    if (scheme == kRaw)
        port.protocol = Protocol::Raw;
    else if (scheme == kRfc2217)
        port.protocol = Protocol::Rfc2217;
    else
        return std::nullopt;
    port.host = url.host();
    port.port = quint16(url.port());
    return port;
}
