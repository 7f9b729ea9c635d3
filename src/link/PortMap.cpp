#include "PortMap.h"

#include "NetworkPort.h"
#include "PortProblem.h"
#include "config/AtomicFile.h"
#include "config/ProgramFolder.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

// Largest ports.cfg read; anything beyond is not a port list.
constexpr qint64 kMaxFileBytes = 64 * 1024;

// The device a link or path finally names; empty when it does not exist.
QString resolved(const QString &path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

// Text `number` of the language file's [dlgComSetup] section, the English
// words when there is no language file or it lacks the text.
QString dialogText(const clsIniFile *langIni, int number, const char *english)
{
    const QString text = langIni ? langIni->GetINIStr(QStringLiteral("dlgComSetup"),
                                                      clsIniFile::numberedKey(u"Mes", number))
                                 : QString();
    return text.isEmpty() ? QString::fromLatin1(english) : text;
}

} // namespace

PortMap::PortMap()
{
    for (int p = 1; p <= kPortCount; ++p)
        m_devices[p - 1] = defaultDevice(p);
}

QString PortMap::defaultDevice(int port)
{
    if (!inRange(port))
        return QString();
#ifdef Q_OS_WIN
    // Windows addresses the ports by their own names.
    return QStringLiteral("COM%1").arg(port);
#else
    // USB-serial adapters first (ttyUSB, then CDC-ACM ttyACM), then the
    // built-in ports.
    static constexpr const char *kDevices[kPortCount] = {
        "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyACM1",
        "/dev/ttyS0",   "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3"};
    return QString::fromLatin1(kDevices[port - 1]);
#endif
}

void PortMap::load(const QString &folder)
{
    *this = PortMap();
    const QString path = ProgramFolder::file(folder, QString::fromLatin1(kFileName));
    if (!QFileInfo::exists(path)) {
        // Written so that the user finds the list to edit; a read-only
        // folder just keeps the defaults.
        write(path);
        return;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.read(kMaxFileBytes);
    if (file.error() != QFileDevice::NoError)
        return;

    // Lines and names are taken apart by hand: a stray byte decodes to an
    // escape (a lone surrogate), on which a regular expression matches
    // nothing, and one such byte would hide every line after it.
    std::array<bool, kPortCount> seen{};
    const QStringList lines = TextCodec::splitLines(TextCodec::decode(bytes));
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString name = line.left(eq).trimmed();
        const QString device = line.mid(eq + 1).trimmed();
        const bool portName = name.size() == 4 && name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
            && name.at(3) >= u'1' && name.at(3) <= QChar(u'0' + kPortCount);
        if (!portName || device.isEmpty())
            continue;
        const int port = name.at(3).unicode() - u'0';
        if (seen[port - 1])
            continue;
        seen[port - 1] = true;
        m_devices[port - 1] = device;
    }
}

bool PortMap::write(const QString &path) const
{
    QString text = QStringLiteral("; The serial devices that the port numbers COM1..COM8 stand for.\r\n");
    for (int p = 1; p <= kPortCount; ++p)
        text += QStringLiteral("COM%1=%2\r\n").arg(p).arg(m_devices[p - 1]);
    return AtomicFile::write(path, TextCodec::encode(text));
}

QString PortMap::device(int port) const
{
    return inRange(port) ? m_devices[port - 1] : QString();
}

void PortMap::setDevice(int port, const QString &device)
{
    if (inRange(port))
        m_devices[port - 1] = device;
}

void PortMap::lookUpDevices(const QString &byIdFolder)
{
    m_info = {};
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    const QFileInfoList links = byIdFolder.isEmpty()
        ? QFileInfoList()
        : QDir(byIdFolder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                         QDir::Name);

    for (int p = 1; p <= kPortCount; ++p) {
        // A network port is no path, though one may exist by that name.
        if (NetworkPort::isNetwork(m_devices[p - 1]))
            continue;
        const QString target = resolved(m_devices[p - 1]);
        if (target.isEmpty())
            continue;
        PortDevice &info = m_info[p - 1];
        for (const QSerialPortInfo &port : ports) {
            if (resolved(port.systemLocation()) == target) {
                info.description = port.description();
                info.manufacturer = port.manufacturer();
                info.serialNumber = port.serialNumber();
                info.vendorId = port.hasVendorIdentifier() ? port.vendorIdentifier() : 0;
                info.productId = port.hasProductIdentifier() ? port.productIdentifier() : 0;
                break;
            }
        }
        for (const QFileInfo &link : links) {
            if (link.canonicalFilePath() == target) {
                info.byId = link.fileName();
                info.byIdPath = link.absoluteFilePath();
                break;
            }
        }
    }
}

PortDevice PortMap::deviceInfo(int port) const
{
    return inRange(port) ? m_info[port - 1] : PortDevice();
}

QStringList PortMap::identity(int port, const clsIniFile &langIni) const
{
    if (!inRange(port))
        return {};
    auto say = [&langIni](int number, const char *english) { return dialogText(&langIni, number, english); };
    const QString &device = m_devices[port - 1];
    if (NetworkPort::isNetwork(device)) {
        const std::optional<NetworkPort> network = NetworkPort::parse(device);
        if (!network)
            return {PortProblem::network(PortProblem::Network::Malformed, QString(), &langIni)};
        return {say(9, "Server: %1, TCP port %2").arg(network->host).arg(network->port),
                network->protocol == NetworkPort::Protocol::Raw
                    ? say(10, "Raw TCP: the line settings are those of the server "
                              "(not set from this dialog).")
                    : say(11, "RFC 2217: the line is set from these settings.")};
    }
    const PortDevice &info = m_info[port - 1];
    QStringList lines;
    QStringList adapter;
    for (const QString &part : {info.manufacturer, info.description})
        if (!part.isEmpty() && !adapter.contains(part))
            adapter << part;
    if (!adapter.isEmpty())
        lines << say(1, "Adapter: %1").arg(adapter.join(QStringLiteral(", ")));
    if (!info.serialNumber.isEmpty())
        lines << say(2, "Serial number: %1").arg(info.serialNumber);
    if (info.vendorId || info.productId)
        lines << say(3, "USB vendor:product %1")
                     .arg(QStringLiteral("%1:%2")
                              .arg(info.vendorId, 4, 16, QChar(u'0'))
                              .arg(info.productId, 4, 16, QChar(u'0')));
    if (!info.byIdPath.isEmpty())
        lines << say(4, "Stable name: %1").arg(info.byIdPath);
    if (lines.isEmpty())
        lines << say(5, "The system knows nothing more about this device.");
    return lines;
}

QString PortMap::deviceText(int port, const clsIniFile *langIni) const
{
    if (!inRange(port))
        return QString();
    const QString &device = m_devices[port - 1];
    if (NetworkPort::isNetwork(device)) {
        const std::optional<NetworkPort> network = NetworkPort::parse(device);
        if (!network)
            return device;
        const QString kind = network->protocol == NetworkPort::Protocol::Raw
            ? dialogText(langIni, 7, "serial device server, raw TCP")
            : dialogText(langIni, 8, "serial device server, RFC 2217");
        return device + QStringLiteral(" (") + kind + u')';
    }
    const PortDevice &info = m_info[port - 1];
    QString about = info.description;
    if (!info.manufacturer.isEmpty() && !about.contains(info.manufacturer))
        about = about.isEmpty() ? info.manufacturer : about + QStringLiteral(", ") + info.manufacturer;
    if (about.isEmpty())
        about = info.byId;
    return about.isEmpty() ? device : device + QStringLiteral(" (") + about + u')';
}
