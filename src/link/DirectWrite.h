#pragma once

#include <QByteArrayView>
#include <QtGlobal>

class QSerialPort;

// A command written straight to an open port's device, past the port's
// write buffer. Through the buffer, every write first switches on the
// port's write notifier (a wake-up of the event loop before the bytes go
// out) and leaves two more turns of the loop for after them; a link that
// sends one short command per answer spends more on that than on the
// write itself. POSIX only: elsewhere nothing is written here and the
// caller's ordinary write does it all.
namespace DirectWrite {

// Writes what the device takes of `bytes` at once. The count written
// (0 when it takes nothing now, or while the port's own buffer still holds
// bytes, which must go first), or -1 when the device refused the write: the
// caller writes the rest through the port, which then meets and reports
// any error as it always does.
qint64 write(QSerialPort &port, QByteArrayView bytes);

} // namespace DirectWrite
