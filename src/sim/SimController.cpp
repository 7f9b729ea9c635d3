#include "SimController.h"

#include "StepFormat.h"
#include "config/TextCodec.h"

#include <QScopedValueRollback>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// A command longer than this without a line end is line noise: dropped.
constexpr qsizetype kMaxLineBytes = 4096;
constexpr int kRunControlChannel = 99;

const QByteArray kOk = "OK";
// The error replies the simulator sends of its own, numbered as the host's
// message table reads them (!0 busy .. !8 axis error).
const QByteArray kSyntaxError = "!1";  // the command is not recognised
const QByteArray kChannelError = "!3"; // the channel cannot be used
const QByteArray kMemoryFull = "!4";   // program memory full
// A step text that is not a step (see StepFormat): a syntax error, because
// the controller reads a step by its fixed form and a text that does not
// fit it (an unknown command, a missing or malformed field, a number with
// more digits than its field, too many parts) is a line it does not
// recognise. A data range error would be a readable value outside the
// controller's limits, and the simulator keeps no parameter limits.
const QByteArray kMalformedStep = kSyntaxError;

// The text before the command's colon; "EMPTY" for the empty line.
QByteArray keywordOf(const QByteArray &line)
{
    if (line.isEmpty())
        return SimFault::kEmptyKeyword;
    const qsizetype colon = line.indexOf(':');
    return colon < 0 ? line : line.left(colon);
}

bool isControllerKeyword(const QByteArray &keyword)
{
    static const QByteArray kKeywords[] = {"?", "CHINF", "LOAD", "PGWRT", "REMOTE",
                                           "UPLOAD", "Z", "U07", "NG"};
    return std::find(std::begin(kKeywords), std::end(kKeywords), keyword) != std::end(kKeywords);
}

// The channel after the colon: one or two digits; -1 otherwise.
int channelOf(const QByteArray &line)
{
    const QByteArray digits = line.mid(line.indexOf(':') + 1);
    if (digits.isEmpty() || digits.size() > 2
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return digits.toInt();
}

} // namespace

SimController::SimController(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_writer(m_pty, this)
{
    m_writer.setBaud(options.baud);
    m_writer.setChunking(options.chunkSize, options.chunkGapMs);
    // Bytes waited for go out only after any command that came in meanwhile.
    connect(&m_writer, &ReplyWriter::aboutToWrite, this, [this] {
        if (!m_reading)
            readLine();
    });
}

SimController::~SimController() = default;

bool SimController::start(QString *error)
{
    if (!m_options.storeFile.isEmpty() && !m_store.load(m_options.storeFile, error))
        return false;
    if (!m_pty.open(error))
        return false;
    m_notifier = new QSocketNotifier(m_pty.masterFd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimController::readLine);
    return true;
}

QString SimController::devicePath() const
{
    return m_pty.isOpen() ? m_pty.slavePath() : QString();
}

QStringList SimController::program(int channel) const
{
    QStringList texts;
    for (const QByteArray &step : m_store.program(channel))
        texts << TextCodec::decode(step);
    return texts;
}

void SimController::setProgram(int channel, const QStringList &stepTexts)
{
    QList<QByteArray> steps;
    for (const QString &text : stepTexts)
        steps << TextCodec::encode(text);
    m_store.setProgram(channel, steps);
}

void SimController::pullCable()
{
    m_writer.clear();
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_pty.close();
}

void SimController::readLine()
{
    const QScopedValueRollback reading(m_reading, true);
    char buffer[512];
    while (m_pty.isOpen()) {
        const qint64 n = m_pty.read(buffer, sizeof buffer);
        if (n == 0)
            return;
        if (n < 0) {
            // Not while the simulator holds the slave open; never spin on it.
            if (m_notifier)
                m_notifier->setEnabled(false);
            return;
        }
        takeBytes(QByteArrayView(buffer, n));
    }
}

void SimController::takeBytes(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (c == '\n' && std::exchange(m_afterCr, false))
            continue; // the LF of a CR LF
        m_afterCr = c == '\r';
        if (m_rxStartNs < 0) {
            m_rxStartNs = m_writer.nowNs();
            // The host reopened its port just before it sent this command:
            // what reached its end of the line earlier is gone, as on a real
            // line. What the controller sends from now on is not.
            m_pty.discardUnread();
        }
        if (c == '\r' || c == '\n') {
            // The host ends every command with CR LF: its bytes on the line.
            m_commandStartNs = std::exchange(m_rxStartNs, -1);
            m_commandBytes = m_rx.size() + 2;
            handleCommand(std::exchange(m_rx, {}));
            if (!m_pty.isOpen())
                return;
        } else if (m_rx.size() < kMaxLineBytes) {
            m_rx += c;
        }
    }
}

void SimController::handleCommand(const QByteArray &line)
{
    const QByteArray keyword = keywordOf(line);
    const bool isStep = ChannelStore::isChannel(m_loadChannel) && !isControllerKeyword(keyword);
    const int step = isStep ? m_stepLines++ : -1;
    const int occurrence = ++m_keywordCounts[keyword];

    const SimFault *fault = faultAt(keyword, occurrence, step);
    if (fault && fault->action != SimFault::Action::Delay) {
        switch (fault->action) {
        case SimFault::Action::Reply:
            reply(fault->reply);
            break;
        case SimFault::Action::Raw:
            m_writer.send(fault->reply, m_commandStartNs, m_commandBytes);
            break;
        case SimFault::Action::Late:
            QTimer::singleShot(fault->delayMs, this, [this, text = fault->reply] {
                if (m_pty.isOpen())
                    sendLine(text, -1, 0, 0);
            });
            break;
        case SimFault::Action::Silence:
        case SimFault::Action::Delay:
            break;
        }
    } else {
        // A delayed command is carried out now; only its reply waits.
        const QScopedValueRollback delay(m_replyDelayMs, fault ? fault->delayMs : 0);
        if (isStep)
            takeStep(line);
        else
            carryOut(keyword, line);
    }

    const QString text = TextCodec::decode(line);
    m_commands << text;
    emit commandReceived(text);
}

const SimFault *SimController::faultAt(const QByteArray &keyword, int occurrence, int step) const
{
    for (const SimFault &fault : m_options.faults) {
        if (fault.hits(keyword, occurrence, step))
            return &fault;
    }
    return nullptr;
}

void SimController::carryOut(const QByteArray &keyword, const QByteArray &line)
{
    const int loadChannel = m_loadChannel;
    if (keyword != "?" && keyword != "CHINF")
        m_loadChannel = 0;
    const bool uploading = std::exchange(m_uploading, false);
    const bool command = line.contains(':');

    if (command && keyword == "?") {
        reply(kOk);
    } else if (command && keyword == "CHINF") {
        const int channel = channelOf(line);
        if (!ChannelStore::isChannel(channel)) {
            reply(kChannelError);
            return;
        }
        const qsizetype steps = m_store.program(channel).size();
        reply(steps == 0 ? QByteArray("N") : 'L' + QByteArray::number(steps).rightJustified(3, '0'));
    } else if (command && keyword == "LOAD") {
        const int channel = channelOf(line);
        if (!ChannelStore::isChannel(channel) && channel != kRunControlChannel) {
            reply(kChannelError);
            return;
        }
        m_loadChannel = channel == kRunControlChannel ? 0 : channel;
        m_loaded.clear();
        m_stepLines = 0;
        reply(QByteArray(1, kAck));
    } else if (command && keyword == "PGWRT") {
        if (!ChannelStore::isChannel(loadChannel)) {
            // Without a download there is nothing to write: the controller
            // takes PGWRT: only within one, as it takes NG: only within an
            // upload.
            reply(kSyntaxError);
            return;
        }
        m_store.setProgram(loadChannel, m_loaded);
        m_loaded.clear();
        QString error;
        if (!m_options.storeFile.isEmpty() && !m_store.save(m_options.storeFile, &error))
            qWarning("velomat-sim: the store file was not written: %s", qPrintable(error));
        reply(QByteArray(1, kAck));
    } else if (command && keyword == "REMOTE") {
        m_remote = true;
        reply(QByteArray(1, kAck));
    } else if (command && keyword == "Z") {
        const int channel = channelOf(line);
        if (ChannelStore::isChannel(channel))
            m_runningChannel = channel;
    } else if (command && keyword == "U07") {
        m_runningChannel = 0;
    } else if (command && keyword == "UPLOAD") {
        const int channel = channelOf(line);
        if (!ChannelStore::isChannel(channel)) {
            reply(kChannelError);
            return;
        }
        m_uploadLines.clear();
        for (const QByteArray &step : m_store.program(channel))
            m_uploadLines << StepFormat::uploadLine(step).value_or(step);
        m_uploadNext = 0;
        m_uploading = true;
        uploadNext();
    } else if (uploading && line.isEmpty()) {
        m_uploading = true;
        uploadNext();
    } else if (uploading && command && keyword == "NG") {
        reply(QByteArray(1, kAck));
    } else {
        reply(kSyntaxError);
    }
}

void SimController::uploadNext()
{
    if (m_uploadNext < m_uploadLines.size()) {
        reply(m_uploadLines.at(m_uploadNext++));
    } else {
        m_uploading = false;
        reply(QByteArray());
    }
}

void SimController::takeStep(const QByteArray &step)
{
    if (m_loaded.size() >= kMaxSteps) {
        reply(kMemoryFull);
    } else if (!StepFormat::uploadLine(step)) {
        reply(kMalformedStep);
    } else {
        m_loaded << step;
        reply(QByteArray(1, kAck));
    }
}

void SimController::reply(const QByteArray &text)
{
    sendLine(text, m_commandStartNs, m_commandBytes, m_replyDelayMs);
}

void SimController::sendLine(const QByteArray &text, qint64 commandStartNs, qint64 commandBytes,
                             int delayMs)
{
    if (m_options.lfDelayMs > 0 && m_options.eol == "\r\n") {
        // The LF in a later packet of a USB serial adapter.
        m_writer.send(text + '\r', commandStartNs, commandBytes, delayMs);
        m_writer.send("\n", commandStartNs, commandBytes, m_options.lfDelayMs);
    } else {
        m_writer.send(text + m_options.eol, commandStartNs, commandBytes, delayMs);
    }
}
