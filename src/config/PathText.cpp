#include "PathText.h"

#include "TextCodec.h"

#include <QByteArray>

namespace {
const QString kPrefix = QStringLiteral("utf-8:");
}

QString PathText::toStored(const QString &path)
{
    // A path that itself begins with the prefix is encoded too, so that
    // reading it back cannot mistake it for an encoded one; so is one with
    // blanks at either end, which a settings reader would cut off.
    if (TextCodec::isEncodable(path) && !path.startsWith(kPrefix) && path == path.trimmed())
        return path;
    return kPrefix + QString::fromLatin1(path.toUtf8().toPercentEncoding("/\\:"));
}

QString PathText::fromStored(const QString &stored)
{
    if (!stored.startsWith(kPrefix))
        return stored;
    return QString::fromUtf8(QByteArray::fromPercentEncoding(stored.mid(kPrefix.size()).toLatin1()));
}
