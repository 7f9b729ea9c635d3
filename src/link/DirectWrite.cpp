#include "DirectWrite.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

qint64 DirectWrite::write(QSerialPort &port, QByteArrayView bytes)
{
#ifdef Q_OS_UNIX
    // Mark and space parity are emulated by the port where the system has
    // no setting for them: only the port itself writes those.
    if (!port.isOpen() || port.bytesToWrite() > 0 || port.handle() < 0
        || port.parity() == QSerialPort::MarkParity || port.parity() == QSerialPort::SpaceParity)
        return 0;
    qint64 written = 0;
    while (written < bytes.size()) {
        // The descriptor is non-blocking: a full output queue takes less.
        const ssize_t n = ::write(port.handle(), bytes.data() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && written == 0)
            return -1;
        break;
    }
    return written;
#else
    Q_UNUSED(port);
    Q_UNUSED(bytes);
    return 0;
#endif
}
