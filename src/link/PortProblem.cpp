#include "PortProblem.h"

#include "config/clsIniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Text `number` of the language file's [PortProblem] section, the English
// words when there is no language file or it lacks the text.
QString say(const clsIniFile *lang, int number, const char *english)
{
    const QString fallback = QString::fromLatin1(english);
    if (!lang)
        return fallback;
    const QString text = lang->GetINIStr(QStringLiteral("PortProblem"),
                                         clsIniFile::numberedKey(u"Mes", number), fallback);
    return text.isEmpty() ? fallback : text;
}

QString notPresent(const clsIniFile *lang) { return say(lang, 2, "not present"); }
// "in use by another program", naming the program where the system tells
// which one holds the device.
QString inUse(const clsIniFile *lang, const QString &device)
{
    const QString text = say(lang, 3, "in use by another program");
    const QString holder = PortProblem::holder(device);
    return holder.isEmpty() ? text : text + QStringLiteral(" (") + holder + u')';
}

} // namespace

QString PortProblem::noPort(const clsIniFile *lang)
{
    return say(lang, 1, "no serial port is chosen");
}

QString PortProblem::diagnose(const QString &device, QSerialPort::SerialPortError error,
                              const QString &errorString, const clsIniFile *lang)
{
    if (device.isEmpty())
        return notPresent(lang);

    // Opened as the serial port opens it, without becoming the controlling
    // terminal and without waiting for a carrier.
    const QByteArray path = QFile::encodeName(device);
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fromErrno(errno, device, lang);
    const bool terminal = ::isatty(fd);
    ::close(fd);

    if (!terminal)
        return say(lang, 6, "not a serial port");
    // The device itself opens: QSerialPort refused because another program
    // holds the lock file or the exclusive mode of the port.
    if (error == QSerialPort::PermissionError)
        return inUse(lang, device);
    if (errorString.isEmpty())
        return say(lang, 7, "cannot be opened");
    return say(lang, 8, "cannot be opened: %1").arg(errorString);
}

QString PortProblem::fromErrno(int error, const QString &device, const clsIniFile *lang)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO: // a built-in port without hardware behind it
        return notPresent(lang);
    case EBUSY:
        return inUse(lang, device);
    case EACCES:
    case EPERM: {
        const QString group = owningGroup(device);
        if (group.isEmpty() || group == QLatin1String("root"))
            return say(lang, 4, "no permission");
        return say(lang, 5, "no permission: add your user to the group %1 "
                            "(sudo adduser $USER %1), then log in again")
            .arg(group);
    }
    default:
        return say(lang, 8, "cannot be opened: %1")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString PortProblem::lost(const QString &device, const QString &errorString, const clsIniFile *lang)
{
    if (!QFile::exists(device))
        return say(lang, 9, "went away (unplugged or switched off)");
    return say(lang, 10, "stopped working (the system said: %1)").arg(errorString);
}

QString PortProblem::network(Network reason, const QString &detail, const clsIniFile *lang)
{
    static constexpr const char *kEnglish[] = {
        "connection refused: the server is up but does not serve this port",
        "host not found",
        "no route to the server, or it does not answer (timed out)",
        "in use: the server turned the connection away (it said: %1)",
        "in use: the server closed the connection at once",
        "the server does not speak RFC 2217 (it refused the COM port option)",
        "the server does not answer the RFC 2217 negotiation (is it a raw TCP port?)",
        "the server did not take the line settings (%1)",
        "the server closed the connection",
        "the connection failed (the system said: %1)",
        "not a network port: give tcp://HOST:PORT or rfc2217://HOST:PORT",
        "the line settings of the server",
    };
    const int number = int(reason);
    const QString text = say(lang, number, kEnglish[number - int(Network::Refused)]);
    return text.contains(QLatin1String("%1")) ? text.arg(detail) : text;
}

QString PortProblem::holder(const QString &device, const QString &procFolder)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return QString();
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList pids = QDir(procFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (!number || id == self)
            continue;
        // Only the processes the user may look into: the others keep their
        // descriptors to themselves.
        const QDir fds(procFolder + u'/' + pid + QStringLiteral("/fd"));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() != target)
                continue;
            QFile comm(procFolder + u'/' + pid + QStringLiteral("/comm"));
            const QString name = comm.open(QIODevice::ReadOnly)
                ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
            return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                                  : QStringLiteral("%1, process %2").arg(name, pid);
        }
    }
    return QString();
}

QString PortProblem::owningGroup(const QString &device)
{
    struct stat st;
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QString();
    const struct group *gr = ::getgrgid(st.st_gid);
    return gr && gr->gr_name ? QString::fromLocal8Bit(gr->gr_name) : QString();
}
