#include "SimController.h"

#include "StepFormat.h"
#include "config/TextCodec.h"

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
const QByteArray kBadCommand = "!1";
const QByteArray kBadChannel = "!2";
const QByteArray kBadStep = "!3";
const QByteArray kTooManySteps = "!4";

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
        if (m_rxStartNs < 0)
            m_rxStartNs = m_writer.nowNs();
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
    // The host reopened its port for this command: what it did not read of
    // earlier replies is gone on a real line.
    m_writer.clear();
    m_pty.discardUnread();

    const QByteArray keyword = keywordOf(line);
    const bool isStep = ChannelStore::isChannel(m_loadChannel) && !isControllerKeyword(keyword);
    const int step = isStep ? m_stepLines++ : -1;
    const int occurrence = ++m_keywordCounts[keyword];

    if (const SimFault *fault = faultAt(keyword, occurrence, step)) {
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
                    m_writer.send(text + m_options.eol);
            });
            break;
        case SimFault::Action::Silence:
            break;
        }
    } else if (isStep) {
        takeStep(line);
    } else {
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
            reply(kBadChannel);
            return;
        }
        const qsizetype steps = m_store.program(channel).size();
        reply(steps == 0 ? QByteArray("N") : 'L' + QByteArray::number(steps).rightJustified(3, '0'));
    } else if (command && keyword == "LOAD") {
        const int channel = channelOf(line);
        if (!ChannelStore::isChannel(channel) && channel != kRunControlChannel) {
            reply(kBadChannel);
            return;
        }
        m_loadChannel = channel == kRunControlChannel ? 0 : channel;
        m_loaded.clear();
        m_stepLines = 0;
        reply(QByteArray(1, kAck));
    } else if (command && keyword == "PGWRT") {
        if (!ChannelStore::isChannel(loadChannel)) {
            reply(kBadCommand);
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
            reply(kBadChannel);
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
        reply(kBadCommand);
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
        reply(kTooManySteps);
    } else if (!StepFormat::uploadLine(step)) {
        reply(kBadStep);
    } else {
        m_loaded << step;
        reply(QByteArray(1, kAck));
    }
}

void SimController::reply(const QByteArray &text)
{
    m_writer.send(text + m_options.eol, m_commandStartNs, m_commandBytes);
}
