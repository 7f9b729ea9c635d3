#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include <csignal>
#include <sys/types.h>

// A real ser2net serving devices on 127.0.0.1: every device gets a raw TCP
// port and an RFC 2217 port. Started with a generated configuration, in the
// foreground, and stopped with the object. ser2net is part of the build
// set-up: a test fails, not skips, when it is missing.
class Ser2net
{
public:
    struct Ports
    {
        QString raw;     // tcp://127.0.0.1:PORT
        QString rfc2217; // rfc2217://127.0.0.1:PORT
        // Telnet without the COM port option: the server refuses it.
        QString plainTelnet; // rfc2217://127.0.0.1:PORT
    };

    ~Ser2net()
    {
        if (m_process) {
            ::kill(pid_t(m_process->processId()), SIGCONT);
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }

    static QString program()
    {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
        return found.isEmpty()
            ? QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                             {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
            : found;
    }

    // Serves the devices; their ports in the same order. Empty, with the
    // reason, when ser2net cannot be started.
    QList<Ports> start(const QStringList &devices, QString *error)
    {
        const QString exe = program();
        if (exe.isEmpty()) {
            *error = QStringLiteral("ser2net is not installed (scripts/install-deps installs it)");
            return {};
        }
        QList<Ports> ports;
        QList<quint16> listening;
        QByteArray yaml;
        for (const QString &device : devices) {
            const quint16 raw = freePort(listening);
            listening << raw;
            const quint16 rfc = freePort(listening);
            listening << rfc;
            const quint16 plain = freePort(listening);
            listening << plain;
            // No character delay: ser2net would otherwise wait for more of a
            // reply before passing it on.
            const QByteArray connector = "  connector: serialdev," + device.toUtf8()
                + ",9600n81,local\n  options:\n    chardelay: false\n";
            yaml += "connection: &raw" + QByteArray::number(raw) + "\n  accepter: tcp,127.0.0.1,"
                + QByteArray::number(raw) + "\n" + connector;
            yaml += "connection: &rfc" + QByteArray::number(rfc)
                + "\n  accepter: telnet(rfc2217),tcp,127.0.0.1," + QByteArray::number(rfc) + "\n"
                + connector;
            yaml += "connection: &tel" + QByteArray::number(plain)
                + "\n  accepter: telnet,tcp,127.0.0.1," + QByteArray::number(plain) + "\n" + connector;
            ports << Ports{QStringLiteral("tcp://127.0.0.1:%1").arg(raw),
                           QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfc),
                           QStringLiteral("rfc2217://127.0.0.1:%1").arg(plain)};
        }
        const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write(yaml) != yaml.size()) {
            *error = QStringLiteral("cannot write ") + config;
            return {};
        }
        file.close();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->start(exe, {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"), config});
        if (!m_process->waitForStarted(5000)) {
            *error = QStringLiteral("ser2net does not start: ") + m_process->errorString();
            return {};
        }
        // Listening is seen in the system's socket table: a trial connection
        // would open the device and could hold it for the next client.
        QElapsedTimer clock;
        clock.start();
        while (!listeningOn(listening)) {
            if (m_process->state() != QProcess::Running || clock.hasExpired(5000)) {
                *error = QStringLiteral("ser2net does not listen: ")
                    + QString::fromLocal8Bit(m_process->readAll());
                return {};
            }
            QThread::msleep(20);
        }
        return ports;
    }

    // The server gone (its connections closed by the system) or frozen
    // (connections open, nothing passed on).
    void kill()
    {
        if (m_process)
            m_process->kill();
    }
    void freeze()
    {
        if (m_process)
            ::kill(pid_t(m_process->processId()), SIGSTOP);
    }

    QString output() const { return m_process ? QString::fromLocal8Bit(m_process->readAll()) : QString(); }

private:
    // A port nothing listens on, and not one of `taken`.
    static quint16 freePort(const QList<quint16> &taken)
    {
        for (;;) {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost);
            if (!taken.contains(server.serverPort()))
                return server.serverPort();
        }
    }

    static bool listeningOn(const QList<quint16> &ports)
    {
        QFile table(QStringLiteral("/proc/net/tcp"));
        if (!table.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = table.readAll();
        for (quint16 port : ports) {
            // local address 127.0.0.1:PORT in hex, state 0A (listen)
            const QByteArray entry = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0')
                + " 00000000:0000 0A";
            if (!text.contains(entry))
                return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
};
