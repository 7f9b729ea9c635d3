#include "BackupFolder.h"

#include "Channel.h"

#include "config/AtomicFile.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "program/ProgramFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace BackupFolder {

QString fileName(int channel)
{
    return QStringLiteral("CH%1.txt").arg(channel, 2, 10, QLatin1Char('0'));
}

QString manifestName()
{
    return QStringLiteral("backup.ini");
}

QByteArray manifestText(const Manifest &m)
{
    QStringList lines{QStringLiteral("[Backup]"),
                      QStringLiteral("Date=") + m.taken.toString(Qt::ISODate),
                      QStringLiteral("Port=") + m.port,
                      QStringLiteral("Line=") + m.line,
                      QStringLiteral("ControllerType=%1").arg(m.controllerType),
                      QStringLiteral("Axes=%1").arg(m.axes)};
    for (const Entry &c : m.channels) {
        lines << QString() << QStringLiteral("[CH%1]").arg(c.channel, 2, 10, QLatin1Char('0'))
              << QStringLiteral("Steps=%1").arg(c.steps);
        if (c.steps > 0)
            lines << QStringLiteral("File=") + fileName(c.channel)
                  << QStringLiteral("SHA256=") + QString::fromLatin1(c.sha256);
    }
    return TextCodec::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

QString text(const clsIniFile &lang, int n, const char *english)
{
    const QString t = lang.GetINIStr(QStringLiteral("Backup"), clsIniFile::numberedKey(u"Mes", n));
    return t.isEmpty() ? QString::fromLatin1(english) : t;
}

QString targetProblem(const QString &dir, const clsIniFile &lang)
{
    const QFileInfo target(dir);
    if (target.exists() || target.isSymLink())
        return text(lang, 1, "%1 exists already; a backup goes to a new folder").arg(dir);
    const QFileInfo parent(target.absolutePath());
    if (!parent.isDir())
        return text(lang, 2, "%1: no such folder").arg(parent.filePath());
    if (!parent.isWritable())
        return text(lang, 3, "%1: the folder cannot be written").arg(parent.filePath());
    return QString();
}

bool write(const QString &dir, const Manifest &manifest, const QMap<int, QByteArray> &files, const clsIniFile &lang,
           QString *error)
{
    const auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (const QString problem = targetProblem(dir, lang); !problem.isEmpty())
        return failed(problem);
    const QFileInfo target(dir);
    QTemporaryDir partial(target.absolutePath() + u'/' + u'.' + target.fileName() + QStringLiteral("-XXXXXX"));
    if (!partial.isValid())
        return failed(QStringLiteral("%1: %2").arg(target.absolutePath(), partial.errorString()));
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QString why;
        if (!AtomicFile::write(partial.filePath(fileName(it.key())), it.value(), &why))
            return failed(why);
    }
    QString why;
    if (!AtomicFile::write(partial.filePath(manifestName()), manifestText(manifest), &why))
        return failed(why);
    // The rename is what makes the backup appear; a folder of that name
    // made meanwhile is not replaced.
    if (!QDir().rename(partial.path(), target.absoluteFilePath()))
        return failed(text(lang, 4, "%1 could not take its name").arg(dir));
    partial.setAutoRemove(false);
    return true;
}

Contents read(const QString &dir, const Catalogue &catalogue, int runAxes, int maxStep, const clsIniFile &lang)
{
    Contents c;
    const QDir folder(dir);
    const QString manifestPath = folder.filePath(manifestName());
    if (!QFileInfo(manifestPath).isFile()) {
        c.problems << text(lang, 5, "no %1: not a backup folder").arg(manifestName());
        return c;
    }
    const clsIniFile ini(manifestPath); // the manifest; `lang` words the problems
    const QString section = QStringLiteral("Backup");
    Manifest &m = c.manifest;
    m.taken = QDateTime::fromString(ini.GetINIStr(section, QStringLiteral("Date")), Qt::ISODate);
    m.port = ini.GetINIStr(section, QStringLiteral("Port"));
    m.line = ini.GetINIStr(section, QStringLiteral("Line"));
    m.controllerType = ini.GetINIStr(section, QStringLiteral("ControllerType")).toInt();
    m.axes = ini.GetINIStr(section, QStringLiteral("Axes")).toInt();
    if (m.axes < 1 || m.axes > 3) {
        c.problems << text(lang, 6, "%1: Axes must be 1, 2 or 3").arg(manifestName());
        return c;
    }
    if (m.axes > runAxes) {
        c.problems << text(lang, 7, "the backup holds %1-axis programs; this run has %2 axes")
                          .arg(m.axes)
                          .arg(runAxes);
        return c;
    }
    for (int ch = ::Channel::kFirst; ch <= ::Channel::kLast; ++ch) {
        const QString chSection = QStringLiteral("CH%1").arg(ch, 2, 10, QLatin1Char('0'));
        const QString stepsText = ini.GetINIStr(chSection, QStringLiteral("Steps"));
        if (stepsText.isEmpty())
            continue;
        Entry entry;
        entry.channel = ch;
        bool number = false;
        entry.steps = stepsText.toInt(&number);
        entry.sha256 = ini.GetINIStr(chSection, QStringLiteral("SHA256")).toLatin1();
        m.channels << entry;
        if (!number || entry.steps < 0) {
            c.problems << text(lang, 8, "channel %1: Steps=%2 is no step count").arg(ch).arg(stepsText);
            continue;
        }
        if (entry.steps == 0)
            continue;
        const QString file = fileName(ch);
        QByteArray bytes;
        QString why;
        if (!ProgramFile::readFileBytes(folder.filePath(file), bytes, &why)) {
            c.problems << text(lang, 18, "channel %1: %2").arg(ch).arg(file + QStringLiteral(": ") + why);
            continue;
        }
        const QByteArray sum = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        if (sum != entry.sha256.toLower()) {
            c.problems << text(lang, 9, "channel %1: %2 has changed since the backup (checksum)").arg(ch).arg(file);
            continue;
        }
        // Read with the backup's axis count: the controller takes a step of
        // fewer parts than it has axes, so it goes back as it came.
        const ProgramFile::ReadResult r = ProgramFile::readProgram(catalogue, bytes, m.axes, maxStep);
        if (r.status != ProgramFile::ReadResult::Ok) {
            c.problems << text(lang, 18, "channel %1: %2").arg(ch).arg(QStringLiteral("%1:%2: %3").arg(file).arg(r.line).arg(r.reason));
            continue;
        }
        if (r.ignoredLines > 0 || r.steps.size() != entry.steps) {
            c.problems << text(lang, 10, "channel %1: %2 holds %3 steps, the manifest says %4")
                              .arg(ch)
                              .arg(file)
                              .arg(r.steps.size() + r.ignoredLines)
                              .arg(entry.steps);
            continue;
        }
        c.programs.insert(ch, r.steps);
    }
    if (m.channels.isEmpty())
        c.problems << text(lang, 11, "%1 lists no channel").arg(manifestName());
    return c;
}

} // namespace BackupFolder
