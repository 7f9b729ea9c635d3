// The small settings files of the program folder: com.cfg (the serial
// settings record), typ.cfg (the controller type) and ports.cfg (the port
// map). Each is read from the input, written back and read again: the
// second reading must give what the first gave.
//
// Input: byte 0 picks the file (0: com.cfg, 1: typ.cfg, 2: ports.cfg), the
// rest is its content.

#include "FuzzSupport.h"

#include "config/ControllerType.h"
#include "link/ComSettings.h"
#include "link/PortMap.h"

#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {

void writeFile(const QString &path, const uint8_t *data, size_t size)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write " + path);
    file.write(reinterpret_cast<const char *>(data), qint64(size));
}

QString recordText(const ComRecord &r)
{
    return QStringLiteral("%1 %2 %3 %4 %5").arg(r.port).arg(r.bps).arg(r.parity).arg(r.data).arg(r.stop);
}

// What initComm does with the file, without probing the ports: the text of
// the file, the port from its first character, the line parameters from
// the rest.
ComRecord loadRecord(const QString &folder, QString *text)
{
    ComSettings settings(folder);
    *text = settings.readComCfg(settings.getComCfgPath());
    settings.loadLineParams(*text);
    ComRecord rec = settings.getComSettings();
    const QChar first = text->isEmpty() ? QChar() : text->at(0);
    rec.port = first >= u'1' && first <= u'8' ? first.unicode() - u'0' : 0;
    return rec;
}

void comCfg(const QString &folder, const uint8_t *data, size_t size)
{
    ComSettings settings(folder);
    const QString path = settings.getComCfgPath();
    writeFile(path, data, size);
    QString text;
    const ComRecord rec = loadRecord(folder, &text);
    FUZZ_CHECK(text.size() == 5, "readComCfg gave \"" + text + '"');
    FUZZ_CHECK(rec.bps >= 1 && rec.bps <= 4 && rec.parity >= 1 && rec.parity <= 3 && rec.data >= 1
                   && rec.data <= 2 && rec.stop >= 1 && rec.stop <= 2,
               "record out of range: " + recordText(rec));
    FUZZ_CHECK(ComSettings::settingsText(rec).split(u',').size() == 4, "settings text");

    // Written in normal form, the file reads back as the same record.
    FUZZ_CHECK(settings.setComSettings(rec), "setComSettings failed");
    QString again;
    const ComRecord reread = loadRecord(folder, &again);
    FUZZ_CHECK(reread == rec, recordText(rec) + " read back as " + recordText(reread) + " from " + again);
}

void typCfg(const QString &folder, const uint8_t *data, size_t size)
{
    const QString path = folder + u'/' + QLatin1String(ControllerType::kFileName);
    writeFile(path, data, size);
    const int type = ControllerType::readControllerType(path);
    FUZZ_CHECK(type >= 1 && type <= 3, QStringLiteral("type %1").arg(type));
    FUZZ_CHECK(ControllerType::writeControllerType(path, type), "writeControllerType failed");
    FUZZ_CHECK(ControllerType::readControllerType(path) == type, "type changed by writing");
}

void portsCfg(const QString &folder, const uint8_t *data, size_t size)
{
    const QString path = folder + u'/' + QLatin1String(PortMap::kFileName);
    writeFile(path, data, size);
    PortMap map;
    map.load(folder);
    for (int p = 1; p <= PortMap::kPortCount; ++p) {
        const QString device = map.device(p);
        FUZZ_CHECK(!device.isEmpty() && device == device.trimmed() && !device.contains(u'\r')
                       && !device.contains(u'\n'),
                   QStringLiteral("COM%1=\"%2\"").arg(p).arg(device));
    }
    FUZZ_CHECK(map.write(path), "PortMap::write failed");
    PortMap again;
    again.load(folder);
    for (int p = 1; p <= PortMap::kPortCount; ++p)
        FUZZ_CHECK(again.device(p) == map.device(p),
                   QStringLiteral("COM%1: \"%2\" read back as \"%3\"").arg(p).arg(map.device(p), again.device(p)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QString &folder = fuzz::scratchDir();
    switch (data[0] % 3) {
    case 0: comCfg(folder, data + 1, size - 1); break;
    case 1: typCfg(folder, data + 1, size - 1); break;
    default: portsCfg(folder, data + 1, size - 1); break;
    }
    return 0;
}
