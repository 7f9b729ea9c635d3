#include "ComSettings.h"

#include "LineValues.h"
#include "NetworkPort.h"
#include "PortProblem.h"
#include "config/AtomicFile.h"
#include "config/NumberText.h"
#include "config/ProgramFolder.h"
#include "config/TextCodec.h"

#include <QFile>
#include <QStringList>

#include <optional>

namespace {

constexpr int kMaxPort = PortMap::kPortCount;

// The record's line indexes, each outside its list replaced by its default.
std::array<int, 4> lineIndexes(const ComRecord &record)
{
    using LineValues::Parameter;
    const int given[] = {record.bps, record.parity, record.data, record.stop};
    const Parameter parameters[] = {Parameter::Baud, Parameter::Parity, Parameter::Data,
                                    Parameter::Stop};
    std::array<int, 4> out{};
    for (int i = 0; i < 4; ++i) {
        const int count = int(LineValues::words(parameters[i]).size());
        out[i] = (given[i] < 1 || given[i] > count) ? ComSettings::getDefaultParam(i + 2)
                                                    : given[i];
    }
    return out;
}

// The numeric value of character `pos` (1-based) of the text: its leading
// decimal number, 0 for a non-digit or a missing character.
int charValue(const QString &text, int pos)
{
    return int(NumberText::leadingNumber(text.mid(pos - 1, 1)));
}

// The first line of the file (up to CR or LF); nothing when the file cannot
// be opened or read. An empty file gives an empty line.
std::optional<QString> firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(4096);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    // CR and LF never occur inside a double-byte character of code page 932.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            bytes.truncate(i);
            break;
        }
    }
    return TextCodec::decode(bytes);
}

} // namespace

ComSettings::ComSettings(const QString &settingsFolder) : m_folder(settingsFolder) {}

int ComSettings::getDefaultParam(int n)
{
    if (n < 1 || n > 5)
        return 0;
    return kDefaults[n - 1] - '0';
}

QString ComSettings::getComCfgPath() const
{
    return ProgramFolder::file(m_folder, QString::fromLatin1(kFileName));
}

QString ComSettings::readComCfg(const QString &path)
{
    std::optional<QString> line = firstLine(path);
    if (!line) {
        // Typically there is no file yet: the default line is written and
        // read back. When it cannot be written (a read-only folder, a
        // com.cfg that is a folder) the same line is used from memory.
        const QString fallback = QString::number(m_record.port) + QLatin1String(kDefaults + 1);
        if (!writeDefaultComCfg(path))
            return fallback;
        line = firstLine(path);
        if (!line)
            return fallback;
    }
    if (line->size() == 5)
        return *line;
    writeDefaultComCfg(path);
    return QString::fromLatin1(kDefaults);
}

bool ComSettings::writeDefaultComCfg(const QString &path) const
{
    return writeLine(path, QString::number(m_record.port) + QLatin1String(kDefaults + 1));
}

bool ComSettings::writeComCfg(const QString &path) const
{
    QString line;
    for (int v : {m_record.port, m_record.bps, m_record.parity, m_record.data, m_record.stop})
        line += QString::number(v);
    return writeLine(path, line);
}

bool ComSettings::writeLine(const QString &path, const QString &line)
{
    return AtomicFile::write(path, TextCodec::encode(line) + "\r\n");
}

void ComSettings::scanPorts()
{
    // The map is read at every scan, so an edited ports.cfg counts at the
    // next start or the next opening of the settings.
    m_portMap.load(m_folder);
    m_portMap.lookUpDevices(m_byIdFolder);

    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        const QString device = m_portMap.device(n);
        if (NetworkPort::isNetwork(device)) {
            // Never connected here: a server that does not answer would hold
            // the window for seconds. The settings dialog looks at it in the
            // background.
            const bool wellFormed = NetworkPort::parse(device).has_value();
            m_usable[n - 1] = wellFormed;
            m_problem[n - 1] = wellFormed
                ? QString()
                : PortProblem::network(PortProblem::Network::Malformed, QString(), m_lang);
            continue;
        }
        // Opened and closed as the link will open it; the path is used as
        // given, so a symbolic link (a simulator's, a by-id name) works.
        QSerialPort port;
        port.setPortName(device);
        const bool opened = port.open(QIODevice::ReadWrite);
        m_usable[n - 1] = opened;
        m_problem[n - 1] = opened ? QString()
                                  : PortProblem::diagnose(device, port.error(), port.errorString(),
                                                          m_lang);
        port.close();
    }
}

bool ComSettings::useStableName(int port)
{
    const QString stable = m_portMap.deviceInfo(port).byIdPath;
    if (stable.isEmpty())
        return false;
    m_portMap.setDevice(port, stable);
    if (!m_portMap.write(portMapPath()))
        return false;
    scanPorts();
    return true;
}

QString ComSettings::portMapPath() const
{
    return ProgramFolder::file(m_folder, QString::fromLatin1(PortMap::kFileName));
}

void ComSettings::loadPortNo(const QString &text)
{
    scanPorts();
    const int port = charValue(text, 1);
    m_record.port = (port < 1 || port > kMaxPort) ? 0 : port;
}

void ComSettings::loadLineParams(const QString &text)
{
    const ComRecord given{m_record.port, charValue(text, 2), charValue(text, 3),
                          charValue(text, 4), charValue(text, 5)};
    const std::array<int, 4> at = lineIndexes(given);
    m_record.bps = at[0];
    m_record.parity = at[1];
    m_record.data = at[2];
    m_record.stop = at[3];
}

void ComSettings::initComm()
{
    const QString path = getComCfgPath();
    const QString text = readComCfg(path);
    loadPortNo(text);
    loadLineParams(text);
    // The file always ends up in normal form; a folder that cannot be
    // written keeps the settings in memory only.
    writeComCfg(path);
    applyComSettings();
}

void ComSettings::applyComSettings()
{
    if (m_record.port == 0)
        return;
    m_applied = line(m_portMap.device(m_record.port), m_record);
}

SerialLine ComSettings::line(const QString &device, const ComRecord &record)
{
    const std::array<int, 4> at = lineIndexes(record);
    return LineValues::line(device, at[0], at[1], at[2], at[3]);
}

bool ComSettings::isPortUsable(int p) const
{
    if (p == 0)
        p = m_record.port;
    return p >= 1 && p <= PortMap::kPortCount && m_usable[p - 1];
}

QString ComSettings::portProblem(int p) const
{
    return (p >= 1 && p <= PortMap::kPortCount) ? m_problem[p - 1] : QString();
}

bool ComSettings::setComSettings(const ComRecord &record)
{
    m_record = record;
    return writeComCfg(getComCfgPath());
}

QString ComSettings::settingsText() const
{
    return settingsText(m_record);
}

QString ComSettings::settingsText(const ComRecord &record)
{
    using LineValues::Parameter;
    const std::array<int, 4> at = lineIndexes(record);
    return QStringList{LineValues::words(Parameter::Baud).value(at[0] - 1),
                       LineValues::words(Parameter::Parity).value(at[1] - 1),
                       LineValues::words(Parameter::Data).value(at[2] - 1),
                       LineValues::words(Parameter::Stop).value(at[3] - 1)}
        .join(u',');
}
