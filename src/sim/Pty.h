#pragma once

#include <QString>
#include <QtGlobal>

// A pseudo-terminal pair for the simulated controller: the simulator works
// the master side, the host opens the slave's device as its serial port.
// The simulator keeps a descriptor of the slave open for the pair's whole
// life, so the master never sees a hang-up while the host has closed its end
// between commands. Both sides are raw (no echo, no line editing, no
// character translation). POSIX only; a Windows build replaces this file.
class Pty
{
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool open(QString *error);
    // Closes the master and the simulator's slave descriptor: a host that
    // has the device open sees the line go away, and the device vanishes.
    void close();
    bool isOpen() const { return m_master >= 0; }

    int masterFd() const { return m_master; }
    // The device path the host opens, e.g. /dev/pts/3.
    QString slavePath() const { return m_slavePath; }

    // What the host sent: the byte count read, 0 when nothing is waiting,
    // -1 when the line failed or is closed.
    qint64 read(char *data, qint64 size);
    // Bytes for the host: the count written, 0 when the line cannot take
    // any now, -1 when the line failed or is closed.
    qint64 write(const char *data, qint64 size);
    // Throws away what went to the host and was not read there: a real line
    // loses what arrives while the host's port is closed.
    void discardUnread();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
