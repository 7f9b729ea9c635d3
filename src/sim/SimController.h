#pragma once

#include "ChannelStore.h"
#include "Pty.h"
#include "ReplyWriter.h"
#include "SimOptions.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>

class QSocketNotifier;

// A simulated motion controller on a pseudo-terminal. The host opens
// devicePath() as its serial port and talks the controller protocol: ASCII
// commands ended by CR LF (a lone CR or LF also ends one), one reply line
// per command, ended by the configured line end:
//
//   ?:          "OK"
//   CHINF:nn    "L" and the channel's step count in three digits, or "N"
//               for an empty channel; "!3" for a channel outside 01..15
//   LOAD:nn     ACK (0x06); nn 01..15 starts a download into that channel,
//               99 precedes run start and stop; "!3" for any other channel
//   step text   during a download: ACK, the step is kept; "!1" for a
//               malformed step, "!4" past 200 steps
//   PGWRT:      ACK, the downloaded steps become the channel's program;
//               "!1" without a download
//   REMOTE:     ACK
//   Z:nn, U07:  no reply; the channel runs, the run stops
//   UPLOAD:nn   the channel's first step as an upload line, or the empty
//               line for an empty channel; "!3" for a bad channel
//   empty line  during an upload: the next upload line, after the last
//               one the empty line that ends the upload
//   NG:         during an upload: ACK, and the upload ends
//   otherwise   "!1"
//
// The error replies are those of the host's message table: "!1" syntax
// error (command not recognised), "!3" channel error, "!4" program memory
// full; the others come only from faults (SimFault).
//
// A download ends at PGWRT: or any command other than ?: and CHINF:; an
// upload ends at its empty line, at NG: or at any other command. The host
// keeps its port open for one exchange chain and opens it anew for the
// next; what of an earlier reply the host did not read before it closed
// the port is lost, while what the controller had not sent yet when the
// next command came in still goes out ahead of the new reply, as on a
// real line. A stored text that is not a
// valid step (see setProgram) is uploaded unchanged.
//
// Texts are handled as bytes; the QString forms of the API (programs,
// received commands) are their code page 932 decoding.
class SimController : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxSteps = 200;
    static constexpr char kAck = '\x06';

    explicit SimController(const SimOptions &options = {}, QObject *parent = nullptr);
    ~SimController() override;

    // Reads the store file, when there is one, and opens the line.
    bool start(QString *error);
    // The device the host opens; empty before start.
    QString devicePath() const;

    // The step transmission texts stored in channel 1..15.
    QStringList program(int channel) const;
    // Puts a program into a channel as if downloaded (the store file is not
    // written). The texts are not checked, so that a test can make the
    // controller upload a line the host must refuse.
    void setProgram(int channel, const QStringList &stepTexts);

    // Every command received since start, without its line end; the
    // host's acknowledgement is the empty text.
    QStringList commands() const { return m_commands; }
    // The channel started by Z: and not stopped by U07: since; 0 for none.
    int runningChannel() const { return m_runningChannel; }
    bool isRemote() const { return m_remote; }

    // Closes the line as a pulled USB adapter does: the host's open port
    // fails and the device disappears. The simulator serves no more.
    void pullCable();

signals:
    // Emitted after the command was answered (or deliberately not).
    void commandReceived(const QString &command);

private:
    void readLine();
    void takeBytes(QByteArrayView bytes);
    void handleCommand(const QByteArray &line);
    void carryOut(const QByteArray &keyword, const QByteArray &line);
    void takeStep(const QByteArray &step);
    void reply(const QByteArray &text);
    // One reply line with the line end, the LF held back by lfDelayMs.
    void sendLine(const QByteArray &text, qint64 commandStartNs, qint64 commandBytes, int delayMs);
    void uploadNext();
    const SimFault *faultAt(const QByteArray &keyword, int occurrence, int step) const;

    SimOptions m_options;
    Pty m_pty;
    ReplyWriter m_writer;
    QSocketNotifier *m_notifier = nullptr;
    ChannelStore m_store;

    QByteArray m_rx;
    bool m_afterCr = false;
    bool m_reading = false;
    // The delay of the reply to the command being carried out.
    int m_replyDelayMs = 0;
    // When the first byte of the command being read came in, and how many
    // bytes the line carried for the command last handled.
    qint64 m_rxStartNs = -1;
    qint64 m_commandStartNs = -1;
    qint64 m_commandBytes = 0;
    QStringList m_commands;
    QHash<QByteArray, int> m_keywordCounts;

    int m_loadChannel = 0; // 1..15 while a download runs
    int m_stepLines = 0;   // step lines received in this download
    QList<QByteArray> m_loaded;
    bool m_uploading = false;
    QList<QByteArray> m_uploadLines;
    qsizetype m_uploadNext = 0;
    int m_runningChannel = 0;
    bool m_remote = false;
};
