#include "CliRunner.h"

#include "config/TextCodec.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "program/SendText.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QIODevice>
#include <QTextStream>

namespace {

const QLatin1String kToolName("velomat-cli");

// The controller commands that come with the transfer dialogs.
const QStringList kLaterCommands = {
    QStringLiteral("download"), QStringLiteral("upload"), QStringLiteral("run"),
    QStringLiteral("stop"),
};

// The values the settings dialog offers, in the order of its indexes.
const QStringList kBauds = {"4800", "9600", "19200", "38400"};
const QStringList kParities = {"N", "E", "O"};
const QStringList kDataBits = {"7", "8"};
const QStringList kStopBits = {"1", "2"};

// Control characters of the traffic shown by name, as the download log does.
QString visible(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        switch (c) {
        case '\r': out += QLatin1String("[CR]"); break;
        case '\n': out += QLatin1String("[LF]"); break;
        case '\x06': out += QLatin1String("[ACK]"); break;
        default: out += TextCodec::decode(QByteArray(1, c)); break;
        }
    }
    return out;
}

// The wait window of the communication check, as an event loop.
class LoopWait : public WaitView
{
public:
    explicit LoopWait(QEventLoop &loop) : m_loop(loop) {}
    void closeWait() override { m_loop.quit(); }

private:
    QEventLoop &m_loop;
};

// The run control dialog as "status" needs it: the channel state is kept.
class StatusView : public ExeView
{
public:
    explicit StatusView(QEventLoop &loop) : m_loop(loop) {}
    void dispChInf(const QString &reply) override { state = reply; }
    void comWait(bool waiting) override
    {
        if (!waiting)
            m_loop.quit();
    }
    bool startMode() const override { return false; }
    bool stopMode() const override { return false; }
    int selectedChannel() const override { return 1; }
    QString state;

private:
    QEventLoop &m_loop;
};

} // namespace

struct CliRunner::Loaded
{
    ProgramFile::ReadResult result;
};

struct CliRunner::LinkOptions
{
    QString port;
    QString baud;
    QString parity;
    QString data;
    QString stop;
};

// The tool never shows a box: the text is written to stderr and answered as
// a user who closes the box would.
int CliRunner::StderrPresenter::present(MsgKind, MsgButtons buttons, const QString &,
                                        const QString &text)
{
    if (!quiet) {
        m_err << QString(text).replace(u'\n', u' ') << '\n';
        m_err.flush();
    }
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

CliRunner::CliRunner(const QString &programFolder, QIODevice &outDevice, QTextStream &out,
                     QTextStream &err)
    : m_presenter(err), m_ctx(m_presenter), m_outDevice(outDevice), m_out(out), m_err(err)
{
    // The tool has no command line of the editor's: the language is LANG0.
    m_ctx.chooseLanguage(programFolder, QString());
    m_ctx.buildRunObjects();
}

int CliRunner::usageError(const QString &text)
{
    m_err << kToolName << ": " << text << " (see " << kToolName << " --help)\n";
    m_err.flush();
    return UsageError;
}

QString CliRunner::helpText() const
{
    return QStringLiteral(
        "Usage: velomat-cli <command> [options] [arguments]\n"
        "\n"
        "Commands:\n"
        "  check FILE...   read each program file as File > Open does and report\n"
        "                  \"FILE: ok, N steps, A axes\" or why it was refused\n"
        "  show FILE       read the program file and print the transmission text\n"
        "                  of every step, after its three-digit step number; the\n"
        "                  texts are the bytes the controller is sent (code page 932)\n"
        "\n"
        "  ping            check the link: \"?:\", then \"CHINF:01\"; prints ok\n"
        "  status          the channel's state as the controller reports it (L005)\n"
        "\n"
        "Options:\n"
        "  --axes N        the run's axis count 1..3 (1 allows 100 steps, 2 and 3\n"
        "                  allow 200); default: the axis count in each file's header\n"
        "  --port DEV      a serial device or COM1..COM8; default: the port of com.cfg\n"
        "  --baud N        4800, 9600, 19200 or 38400      (default: com.cfg)\n"
        "  --parity N|E|O  --data 7|8  --stop 1|2          (default: com.cfg)\n"
        "  --channel N     program channel 1..15 (default 1)\n"
        "  --log FILE      write the traffic: \">\" sent, \"<\" received\n"
        "  -h, --help      show this help\n"
        "\n"
        "Exit codes: 0 success, 1 a file refused or an error reply, 2 usage error,\n"
        "4 the link failed (no answer, a port that cannot be opened or went away).\n");
}

int CliRunner::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    auto valued = [](const char *name, const char *value) {
        return QCommandLineOption(QLatin1String(name), QString(), QLatin1String(value));
    };
    const QCommandLineOption axesOption = valued("axes", "N");
    const QCommandLineOption portOption = valued("port", "DEV");
    const QCommandLineOption baudOption = valued("baud", "N");
    const QCommandLineOption parityOption = valued("parity", "P");
    const QCommandLineOption dataOption = valued("data", "N");
    const QCommandLineOption stopOption = valued("stop", "N");
    const QCommandLineOption channelOption = valued("channel", "N");
    const QCommandLineOption logOption = valued("log", "FILE");
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({axesOption, portOption, baudOption, parityOption, dataOption, stopOption,
                       channelOption, logOption, helpOption});

    const bool parsed = parser.parse(arguments);
    // Even when an option is unknown the words are all collected, so the
    // command can still be named.
    QStringList words = parser.positionalArguments();
    const QString command = words.isEmpty() ? QString() : words.takeFirst();

    if (kLaterCommands.contains(command)) {
        m_err << kToolName << ": " << command << ": not available in this build yet\n";
        m_err.flush();
        return UsageError;
    }
    if (!parsed) {
        QString text = parser.errorText().replace(u'\n', u' ');
        if (text.endsWith(u'.'))
            text.chop(1);
        return usageError(text);
    }
    if (parser.isSet(helpOption)) {
        m_out << helpText();
        m_out.flush();
        return Success;
    }
    if (command.isEmpty())
        return usageError(QStringLiteral("no command given"));

    if (command == QLatin1String("ping") || command == QLatin1String("status")) {
        if (!words.isEmpty())
            return usageError(QStringLiteral("%1 takes no arguments").arg(command));
        int channel = 1;
        if (parser.isSet(channelOption)) {
            bool ok = false;
            channel = parser.value(channelOption).toInt(&ok);
            if (!ok || channel < 1 || channel > 15)
                return usageError(QStringLiteral("--channel takes 1 to 15, not \"%1\"")
                                      .arg(parser.value(channelOption)));
        }
        const LinkOptions options{parser.value(portOption), parser.value(baudOption),
                                  parser.value(parityOption), parser.value(dataOption),
                                  parser.value(stopOption)};
        int code = Success;
        if (!setUpLine(options, &code))
            return code;
        m_logPath = parser.value(logOption);
        code = command == QLatin1String("ping") ? ping() : status(channel);
        writeLog();
        return code;
    }
    if (command != QLatin1String("check") && command != QLatin1String("show"))
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));

    int axes = 0; // 0: each file's header decides
    if (parser.isSet(axesOption)) {
        const QString value = parser.value(axesOption);
        bool ok = false;
        axes = value.toInt(&ok);
        if (!ok || axes < 1 || axes > 3)
            return usageError(QStringLiteral("--axes takes 1, 2 or 3, not \"%1\"").arg(value));
    }

    if (command == QLatin1String("check")) {
        if (words.isEmpty())
            return usageError(QStringLiteral("check needs at least one FILE"));
        return check(words, axes);
    }
    if (words.size() != 1)
        return usageError(QStringLiteral("show takes exactly one FILE, %1 given").arg(words.size()));
    return show(words.first(), axes);
}

bool CliRunner::setUpLine(const LinkOptions &options, int *code)
{
    // What com.cfg holds (written in normal form when missing, as the
    // editor does), without probing every port: only the one used opens.
    ComSettings &settings = m_ctx.comSettings;
    const QString text = settings.readComCfg(settings.getComCfgPath());
    settings.loadLineParams(text);
    const ComRecord record = settings.getComSettings();
    PortMap map;
    map.load(m_ctx.run.programFolder);

    auto pick = [&](const QString &value, const QStringList &words, int index, const char *option,
                    int *out) {
        if (value.isEmpty()) {
            *out = index;
            return true;
        }
        const qsizetype at = words.indexOf(value.toUpper());
        if (at < 0) {
            *code = usageError(QStringLiteral("--%1 takes %2, not \"%3\"")
                                   .arg(QLatin1String(option), words.join(u'|'), value));
            return false;
        }
        *out = int(at) + 1;
        return true;
    };
    int bps = 0, parity = 0, data = 0, stop = 0;
    if (!pick(options.baud, kBauds, record.bps, "baud", &bps)
        || !pick(options.parity, kParities, record.parity, "parity", &parity)
        || !pick(options.data, kDataBits, record.data, "data", &data)
        || !pick(options.stop, kStopBits, record.stop, "stop", &stop))
        return false;

    SerialLine line;
    const QString port = options.port;
    const qsizetype comNo = port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
        ? port.mid(3).toInt() : 0;
    if (comNo >= 1 && comNo <= PortMap::kPortCount)
        line.device = map.device(int(comNo));
    else if (!port.isEmpty())
        line.device = port;
    else {
        const int stored = text.left(1).toInt();
        if (stored < 1 || stored > PortMap::kPortCount) {
            *code = usageError(QStringLiteral("no port: give --port, or choose one in the "
                                              "editor's Communication > Settings"));
            return false;
        }
        line.device = map.device(stored);
    }
    line.baud = kBauds.at(bps - 1).toInt();
    line.parity = parity == 2 ? QSerialPort::EvenParity
        : parity == 3 ? QSerialPort::OddParity : QSerialPort::NoParity;
    line.dataBits = data == 1 ? QSerialPort::Data7 : QSerialPort::Data8;
    line.stopBits = stop == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    settings.setAppliedLine(line);
    return true;
}

int CliRunner::runExchange(const std::function<void()> &start, QEventLoop &loop)
{
    int code = Success;
    CommandSet &commands = m_ctx.commands;
    QObject context;
    QObject::connect(&commands, &CommandSet::errorReplied, &context,
                     [&](const QByteArray &line, int message) {
                         m_err << "error reply " << visible(line) << ": "
                               << m_ctx.messages.messageText(message) << '\n';
                         code = Refused;
                         loop.quit();
                     });
    QObject::connect(&commands, &CommandSet::timedOut, &context, [&](const QByteArray &command) {
        m_err << "no answer to " << visible(command) << '\n';
        code = LinkFailed;
        loop.quit();
    });
    QObject::connect(&commands, &CommandSet::portFailed, &context, [&](const QString &reason) {
        m_err << reason << '\n';
        code = LinkFailed;
        loop.quit();
    });
    QObject::connect(&m_ctx.link, &SerialLink::traffic, &context,
                     [this](const QByteArray &text, bool received) {
                         const QString mark = received ? QStringLiteral("< ") : QStringLiteral("> ");
                         if (received && !m_log.isEmpty() && m_log.last().startsWith(mark))
                             m_log.last() += visible(text);
                         else if (!text.isEmpty())
                             m_log << mark + visible(text);
                     });

    m_presenter.quiet = true;
    start();
    // A port that cannot be opened: the system's reason, at once.
    if (!m_ctx.link.lastError().isEmpty() && !m_ctx.link.isOpen()) {
        m_ctx.commands.endExchange();
        m_err << m_ctx.link.lastError() << '\n';
        m_err.flush();
        return LinkFailed;
    }
    if (code == Success && commands.waiting())
        loop.exec();
    commands.endExchange();
    m_err.flush();
    return code;
}

int CliRunner::ping()
{
    QEventLoop loop;
    LoopWait wait(loop);
    bool passed = false;
    QObject context;
    QObject::connect(&m_ctx.commands, &CommandSet::commCheckPassed, &context, [&] { passed = true; });
    m_ctx.commands.setWaitView(&wait);
    const int code = runExchange([this] { m_ctx.commands.startCommCheck(); }, loop);
    m_ctx.commands.setWaitView(nullptr);
    if (code == Success && passed) {
        m_out << "ok\n";
        m_out.flush();
    }
    return code;
}

int CliRunner::status(int channel)
{
    QEventLoop loop;
    StatusView view(loop);
    m_ctx.commands.setExeView(&view);
    const int code = runExchange([&] {
        // The attention command, its answer dropped, as the dialogs start.
        m_ctx.link.resetLink();
        if (m_ctx.link.lastError().isEmpty())
            m_ctx.commands.reqChInfExe(channel);
    }, loop);
    m_ctx.commands.setExeView(nullptr);
    if (code == Success) {
        m_out << view.state << '\n';
        m_out.flush();
    }
    return code;
}

void CliRunner::writeLog() const
{
    if (m_logPath.isEmpty())
        return;
    QFile file(m_logPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_err << m_logPath << ": " << file.errorString() << '\n';
        m_err.flush();
        return;
    }
    file.write(m_log.join(u'\n').toUtf8() + '\n');
}

bool CliRunner::load(const QString &file, int axes, Loaded &loaded)
{
    QByteArray bytes;
    QString error;
    if (!ProgramFile::readFileBytes(file, bytes, &error)) {
        m_err << file << ": " << error << '\n';
        m_err.flush();
        return false;
    }

    // Without --axes the file's own header sets the run's axis count; a
    // header that names none is refused by the reader either way.
    int expected = axes;
    if (expected == 0) {
        const QStringList lines = ProgramFile::splitLines(TextCodec::decode(bytes));
        expected = lines.isEmpty() ? -1 : ProgramFile::readHeader(lines.first());
        if (expected < 1)
            expected = 1;
    }
    m_ctx.setControllerType(expected);
    loaded.result = ProgramFile::readProgram(m_ctx.catalogue, bytes, expected, m_ctx.run.maxStep);
    if (loaded.result.status != ProgramFile::ReadResult::Ok) {
        m_err << file << ':' << loaded.result.line << ": " << loaded.result.reason << '\n';
        m_err.flush();
        return false;
    }
    if (loaded.result.ignoredLines > 0) {
        m_err << file << ": warning: " << loaded.result.ignoredLines
              << (loaded.result.ignoredLines == 1 ? " step line" : " step lines")
              << " after step " << m_ctx.run.maxStep << " ignored (a program of "
              << loaded.result.axisCount << (loaded.result.axisCount == 1 ? " axis" : " axes")
              << " holds " << m_ctx.run.maxStep << " steps)\n";
        m_err.flush();
    }
    return true;
}

int CliRunner::check(const QStringList &files, int axes)
{
    int code = Success;
    for (const QString &file : files) {
        Loaded loaded;
        if (!load(file, axes, loaded)) {
            code = Refused;
            continue;
        }
        m_out << file << ": ok, " << loaded.result.steps.size() << " steps, "
              << loaded.result.axisCount << " axes\n";
    }
    m_out.flush();
    return code;
}

int CliRunner::show(const QString &file, int axes)
{
    Loaded loaded;
    if (!load(file, axes, loaded))
        return Refused;

    // Each step's text as the controller is sent it, byte for byte.
    m_out.flush();
    const QList<ProgStep> &steps = loaded.result.steps;
    for (int row = 1; row <= steps.size(); ++row) {
        const QString text = SendText::step(m_ctx.catalogue, steps.at(row - 1));
        m_outDevice.write(ProgramDocument::stepLabel(row).toLatin1() + '\t' + TextCodec::encode(text)
                          + '\n');
    }
    return Success;
}
