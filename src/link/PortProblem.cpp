#include "PortProblem.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString notPresent() { return QStringLiteral("not present"); }
QString inUse() { return QStringLiteral("in use by another program"); }

} // namespace

QString PortProblem::diagnose(const QString &device, QSerialPort::SerialPortError error,
                              const QString &errorString)
{
    if (device.isEmpty())
        return notPresent();

    // Opened as the serial port opens it, without becoming the controlling
    // terminal and without waiting for a carrier.
    const QByteArray path = QFile::encodeName(device);
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fromErrno(errno, device);
    const bool terminal = ::isatty(fd);
    ::close(fd);

    if (!terminal)
        return QStringLiteral("not a serial port");
    // The device itself opens: QSerialPort refused because another program
    // holds the lock file or the exclusive mode of the port.
    if (error == QSerialPort::PermissionError)
        return inUse();
    if (errorString.isEmpty())
        return QStringLiteral("cannot be opened");
    return QStringLiteral("cannot be opened: ") + errorString;
}

QString PortProblem::fromErrno(int error, const QString &device)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO: // a built-in port without hardware behind it
        return notPresent();
    case EBUSY:
        return inUse();
    case EACCES:
    case EPERM: {
        const QString group = owningGroup(device);
        if (group.isEmpty() || group == QLatin1String("root"))
            return QStringLiteral("no permission");
        return QStringLiteral("no permission: add your user to the group %1 "
                              "(sudo adduser $USER %1), then log in again")
            .arg(group);
    }
    default:
        return QStringLiteral("cannot be opened: ") + QString::fromLocal8Bit(std::strerror(error));
    }
}

QString PortProblem::owningGroup(const QString &device)
{
    struct stat st;
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QString();
    const struct group *gr = ::getgrgid(st.st_gid);
    return gr && gr->gr_name ? QString::fromLocal8Bit(gr->gr_name) : QString();
}
