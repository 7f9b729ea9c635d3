#include "CliRunner.h"

#include "CliLink.h"
#include "link/Channel.h"
#include "link/LineValues.h"
#include "link/NetworkPort.h"
#include "link/PortProblem.h"
#include "config/ControllerType.h"
#include "config/NumberText.h"
#include "config/Version.h"
#include "config/TextCodec.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "program/MotionPreview.h"
#include "program/ProgramProblems.h"
#include "program/SendText.h"

#include <QCommandLineParser>
#include <QIODevice>
#include <QTextStream>

namespace {

const QLatin1String kToolName("velomat-cli");

// The commands that talk to the controller.
const QStringList kLinkCommands = {
    QStringLiteral("ping"),   QStringLiteral("status"), QStringLiteral("download"),
    QStringLiteral("upload"), QStringLiteral("run"),    QStringLiteral("stop"),
    QStringLiteral("backup"), QStringLiteral("restore"), QStringLiteral("diff"),
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
    : m_presenter(err), m_ctx(m_presenter), m_programFolder(programFolder),
      m_outDevice(outDevice), m_out(out), m_err(err)
{
}

// The language of the environment's messages, as POSIX orders the
// variables: Japanese (0) for ja_*, English (1) for anything else.
QString CliRunner::languageFromLocale()
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return value.startsWith("ja") ? QStringLiteral("0") : QStringLiteral("1");
    }
    return QStringLiteral("1");
}

// VELOMAT_TIMING="reply=MS,crlf=MS,write=MS" shortens the link's waits, so
// that tests of the tool need not wait out the real ones.
void CliRunner::applyTiming(const QByteArray &setting, SerialLink::Intervals &intervals)
{
    for (const QByteArray &item : setting.split(',')) {
        const QList<QByteArray> pair = item.split('=');
        bool ok = false;
        const int ms = pair.value(1).toInt(&ok);
        if (pair.size() != 2 || !ok || ms < 1)
            continue;
        const std::chrono::milliseconds value(ms);
        if (pair.first() == "reply")
            intervals.reply = value;
        else if (pair.first() == "crlf")
            intervals.crLf = value;
        else if (pair.first() == "write")
            intervals.programWrite = value;
    }
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
        "  lint FILE...    read each program file as check does and print its problems,\n"
        "                  \"FILE: step 014 axis A: ...\": jumps past the end, loops that\n"
        "                  do not go back, input jumps on a missing axis, steps that\n"
        "                  never run, endless loops without motion or wait (warnings),\n"
        "                  moves before a speed is set (information); exit 1 on a\n"
        "                  warning, with --strict on information too\n"
        "  preview FILE    read the program file as check does and estimate how it moves,\n"
        "                  under the model the README states: the cycle time, then\n"
        "                  \"step 000  0.000 s\" for every executed step (its start),\n"
        "                  the end positions and why the run stopped; with --csv one\n"
        "                  line per executed step: time,step and each axis's position\n"
        "\n"
        "  ping            check the link: \"?:\", then \"CHINF:01\"; prints ok\n"
        "  status          the channel's state as the controller reports it (L005)\n"
        "  download FILE   send the program to the channel (progress on stderr);\n"
        "                  with --verify read it back and compare: prints verified\n"
        "  upload [-o FILE]  read the channel's program, in the program file format\n"
        "  run, stop       start or stop the channel's program\n"
        "  backup DIR      every channel that holds a program into the new folder DIR\n"
        "                  (CH01.txt ... and backup.ini); DIR appears only when all\n"
        "                  channels were read\n"
        "  restore DIR     check the backup in DIR whole, then download and verify each\n"
        "                  channel (--channels LIST: only those, e.g. 1,3-5)\n"
        "  diff FILE       compare the channel with the program file step by step:\n"
        "                  \"step 012 axis B: ...\", \"+ step ...\" only in the file,\n"
        "                  \"- step ...\" only in the channel; exit 3 when they differ\n"
        "\n"
        "Options:\n"
        "  --axes N        the run's axis count 1..3 (1 allows 100 steps, 2 and 3\n"
        "                  allow 200); default: the axis count in each file's header\n"
        "  --port DEV      a serial device, COM1..COM8, or a serial device server:\n"
        "                  tcp://HOST:PORT (raw) or rfc2217://HOST:PORT;\n"
        "                  default: the port of com.cfg\n"
        "  --baud N        4800, 9600, 19200 or 38400      (default: com.cfg)\n"
        "  --parity N|E|O  --data 7|8  --stop 1|2          (default: com.cfg)\n"
        "  --channel N     program channel 1..15 (default 1)\n"
        "  --channels LIST the channels a restore writes: 1,3-5 (default: all)\n"
        "  --log FILE      write the traffic: \">\" sent, \"<\" received\n"
        "  --strict        lint: information counts as a fault (exit 1) too\n"
        "  --csv           preview: a header line, then time,step,A,B,C per executed step\n"
        "  --lang 0|1      the language of the messages: 0 Japanese, 1 English\n"
        "                  (default: 0 when the locale is ja_*, else 1)\n"
        "  -h, --help      show this help\n"
        "  --version       show the program's name and version\n"
        "\n"
        "Exit codes: 0 success, 1 refused (a file, an error reply, an uploaded line,\n"
        "an upload without a program), 2 usage error, 3 --verify or diff found a difference,\n"
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
    const QCommandLineOption channelsOption = valued("channels", "LIST");
    const QCommandLineOption logOption = valued("log", "FILE");
    const QCommandLineOption langOption = valued("lang", "N");
    const QCommandLineOption outputOption(QStringList{QStringLiteral("o")}, QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption verifyOption(QStringLiteral("verify"));
    const QCommandLineOption strictOption(QStringLiteral("strict"));
    const QCommandLineOption csvOption(QStringLiteral("csv"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOptions({axesOption, portOption, baudOption, parityOption, dataOption, stopOption,
                       channelOption, channelsOption, logOption, langOption, outputOption, verifyOption,
                       strictOption, csvOption, helpOption, versionOption});

    const bool parsed = parser.parse(arguments);
    // Even when an option is unknown the words are all collected, so the
    // command can still be named.
    QStringList words = parser.positionalArguments();
    const QString command = words.isEmpty() ? QString() : words.takeFirst();

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
    if (parser.isSet(versionOption)) {
        m_out << versionText("velomat-cli") << '\n';
        m_out.flush();
        return Success;
    }
    if (command.isEmpty())
        return usageError(QStringLiteral("no command given"));

    // One language for every message of the run, the editor's two files.
    QString language = languageFromLocale();
    if (parser.isSet(langOption)) {
        language = parser.value(langOption);
        if (language != QLatin1String("0") && language != QLatin1String("1"))
            return usageError(QStringLiteral("--lang takes 0 or 1, not \"%1\"").arg(language));
    }
    m_ctx.chooseLanguage(m_programFolder, language);
    m_ctx.buildRunObjects();

    if (kLinkCommands.contains(command)) {
        const bool takesFile = command == QLatin1String("download") || command == QLatin1String("diff");
        const bool takesDir = command == QLatin1String("backup") || command == QLatin1String("restore");
        if (takesFile || takesDir ? words.size() != 1 : !words.isEmpty())
            return usageError(takesFile  ? QStringLiteral("%1 takes exactly one FILE").arg(command)
                              : takesDir ? QStringLiteral("%1 takes exactly one DIR").arg(command)
                                         : QStringLiteral("%1 takes no arguments").arg(command));
        QList<int> channels;
        if (parser.isSet(channelsOption)) {
            if (command != QLatin1String("restore"))
                return usageError(QStringLiteral("--channels goes with restore"));
            channels = Channel::parseList(parser.value(channelsOption));
            if (channels.isEmpty())
                return usageError(QStringLiteral("--channels takes channels 1 to 15 such as 1,3-5, not \"%1\"")
                                      .arg(parser.value(channelsOption)));
        }
        if (parser.isSet(verifyOption) && command != QLatin1String("download"))
            return usageError(QStringLiteral("--verify goes with download"));
        if (parser.isSet(strictOption))
            return usageError(QStringLiteral("--strict goes with lint"));
        if (parser.isSet(csvOption))
            return usageError(QStringLiteral("--csv goes with preview"));
        if (parser.isSet(outputOption) && command != QLatin1String("upload"))
            return usageError(QStringLiteral("-o goes with upload"));
        int channel = 1;
        if (parser.isSet(channelOption)) {
            bool ok = false;
            channel = parser.value(channelOption).toInt(&ok);
            if (!ok || !Channel::isValid(channel))
                return usageError(QStringLiteral("--channel takes 1 to 15, not \"%1\"")
                                      .arg(parser.value(channelOption)));
        }
        int axes = 0;
        if (parser.isSet(axesOption)) {
            bool ok = false;
            axes = parser.value(axesOption).toInt(&ok);
            if (!ok || axes < 1 || axes > 3)
                return usageError(QStringLiteral("--axes takes 1, 2 or 3, not \"%1\"")
                                      .arg(parser.value(axesOption)));
        }
        // A file is read and checked whole before anything is sent.
        Loaded loaded;
        if (takesFile && !load(words.first(), axes, loaded))
            return Refused;
        if (command == QLatin1String("download") && loaded.result.steps.isEmpty()) {
            // A LOAD with no step after it would leave the channel empty.
            m_err << words.first() << ": the program has no steps, so there is nothing to download\n";
            m_err.flush();
            return Refused;
        }
        const LinkOptions options{parser.value(portOption), parser.value(baudOption),
                                  parser.value(parityOption), parser.value(dataOption),
                                  parser.value(stopOption)};
        int code = Success;
        if (!setUpLine(options, &code))
            return code;

        applyTiming(qgetenv("VELOMAT_TIMING"), m_ctx.link.intervals);
        m_presenter.quiet = true; // the outcome is reported as lines of its own
        CliLink link(m_ctx, m_outDevice, m_out, m_err);
        if (command == QLatin1String("ping"))
            code = link.ping();
        else if (command == QLatin1String("status"))
            code = link.status(channel);
        else if (command == QLatin1String("download"))
            code = link.download(loaded.result.steps, channel, loaded.result.axisCount,
                                 parser.isSet(verifyOption));
        else if (command == QLatin1String("upload"))
            code = link.upload(channel, axes, parser.value(outputOption));
        else if (command == QLatin1String("backup"))
            code = link.backup(words.first(), axes);
        else if (command == QLatin1String("restore"))
            code = link.restore(words.first(), channels, axes > 0 ? axes : 3);
        else if (command == QLatin1String("diff"))
            code = link.diff(loaded.result.steps, channel, loaded.result.axisCount);
        else
            code = link.runOrStop(channel, command == QLatin1String("run"));
        link.writeLog(parser.value(logOption));
        return code;
    }
    const bool lintCommand = command == QLatin1String("lint");
    const bool previewCommand = command == QLatin1String("preview");
    if (command != QLatin1String("check") && command != QLatin1String("show") && !lintCommand
        && !previewCommand)
        return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    if (parser.isSet(strictOption) && !lintCommand)
        return usageError(QStringLiteral("--strict goes with lint"));
    if (parser.isSet(csvOption) && !previewCommand)
        return usageError(QStringLiteral("--csv goes with preview"));

    int axes = 0; // 0: each file's header decides
    if (parser.isSet(axesOption)) {
        const QString value = parser.value(axesOption);
        bool ok = false;
        axes = value.toInt(&ok);
        if (!ok || axes < 1 || axes > 3)
            return usageError(QStringLiteral("--axes takes 1, 2 or 3, not \"%1\"").arg(value));
    }

    if (command == QLatin1String("check") || lintCommand) {
        if (words.isEmpty())
            return usageError(QStringLiteral("%1 needs at least one FILE").arg(command));
        return lintCommand ? lint(words, axes, parser.isSet(strictOption)) : check(words, axes);
    }
    if (words.size() != 1)
        return usageError(
            QStringLiteral("%1 takes exactly one FILE, %2 given").arg(command).arg(words.size()));
    return previewCommand ? preview(words.first(), axes, parser.isSet(csvOption))
                          : show(words.first(), axes);
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
    map.load(m_ctx.run.settingsFolder);

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
    using LineValues::Parameter;
    int bps = 0, parity = 0, data = 0, stop = 0;
    if (!pick(options.baud, LineValues::words(Parameter::Baud), record.bps, "baud", &bps)
        || !pick(options.parity, LineValues::words(Parameter::Parity), record.parity, "parity",
                 &parity)
        || !pick(options.data, LineValues::words(Parameter::Data), record.data, "data", &data)
        || !pick(options.stop, LineValues::words(Parameter::Stop), record.stop, "stop", &stop))
        return false;

    QString device;
    const QString port = options.port;
    const qsizetype comNo = port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
        ? port.mid(3).toInt() : 0;
    if (comNo >= 1 && comNo <= PortMap::kPortCount)
        device = map.device(int(comNo));
    else if (!port.isEmpty())
        device = port;
    else {
        const int stored = text.left(1).toInt();
        if (stored < 1 || stored > PortMap::kPortCount) {
            *code = usageError(QStringLiteral("no port: give --port, or choose one in the "
                                              "editor's Communication > Settings"));
            return false;
        }
        device = map.device(stored);
    }
    if (NetworkPort::isNetwork(device) && !NetworkPort::parse(device)) {
        *code = usageError(device + QStringLiteral(": ")
                           + PortProblem::network(PortProblem::Network::Malformed));
        return false;
    }
    settings.setAppliedLine(LineValues::line(device, bps, parity, data, stop));
    return true;
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
        const QStringList lines = TextCodec::splitLines(TextCodec::decode(bytes));
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

int CliRunner::eachFile(const QStringList &files, int axes,
                        const std::function<bool(const QString &, const Loaded &)> &take)
{
    int code = Success;
    for (const QString &file : files) {
        Loaded loaded;
        if (!load(file, axes, loaded) || !take(file, loaded))
            code = Refused;
    }
    m_out.flush();
    return code;
}

int CliRunner::check(const QStringList &files, int axes)
{
    return eachFile(files, axes, [this](const QString &file, const Loaded &loaded) {
        m_out << file << ": ok, " << loaded.result.steps.size() << " steps, " << loaded.result.axisCount
              << " axes\n";
        return true;
    });
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

int CliRunner::lint(const QStringList &files, int axes, bool strict)
{
    return eachFile(files, axes, [this, strict](const QString &file, const Loaded &loaded) {
        bool clean = true;
        const QList<ProgramProblems::Problem> problems = ProgramProblems::find(
            m_ctx.catalogue, loaded.result.axisCount, loaded.result.steps, m_ctx.run.langIni);
        for (const ProgramProblems::Problem &p : problems) {
            m_out << file << ": step " << p.stepLabel();
            if (p.axis > 0)
                m_out << " axis " << p.axisLetter();
            m_out << ": " << p.text << '\n';
            if (strict || p.severity == ProgramProblems::Severity::Warning)
                clean = false;
        }
        return clean;
    });
}

int CliRunner::preview(const QString &file, int axes, bool csv)
{
    Loaded loaded;
    if (!load(file, axes, loaded))
        return Refused;

    const int axisCount = loaded.result.axisCount;
    const MotionPreview::Result r = MotionPreview::run(m_ctx.catalogue, axisCount, loaded.result.steps);
    auto seconds = [](double t) { return QString::number(t, 'f', 3); };
    auto label = [](int step) { return ProgramDocument::stepLabel(step + 1); };
    auto letter = [](int axis) { return QChar(u'A' + axis); };

    if (csv) {
        // Each row is a point of the chart: the positions when the step starts.
        m_out << "time,step";
        for (int a = 0; a < axisCount; ++a)
            m_out << ',' << letter(a);
        m_out << '\n';
        std::array<double, MotionPreview::kMaxAxes> at = r.startPosition;
        for (const MotionPreview::ExecutedStep &e : r.executed) {
            m_out << seconds(e.start) << ',' << label(e.step);
            for (int a = 0; a < axisCount; ++a)
                m_out << ',' << NumberText::shortest(at[a]);
            m_out << '\n';
            at = e.endPosition;
        }
        m_out.flush();
        return Success;
    }

    m_out << "cycle time: " << seconds(r.cycleTime) << " s\n";
    for (const MotionPreview::ExecutedStep &e : r.executed)
        m_out << "step " << label(e.step) << "  " << seconds(e.start) << " s\n";
    m_out << "end position:";
    for (int a = 0; a < axisCount; ++a)
        m_out << (a == 0 ? " " : ", ") << letter(a) << ' ' << NumberText::shortest(r.endPosition[a]);
    m_out << '\n';
    switch (r.stopReason) {
    case MotionPreview::StopReason::ProgramEnd:
        m_out << "stop: program end, U99: in step " << label(r.stopStep) << '\n';
        break;
    case MotionPreview::StopReason::PastLastStep:
        if (r.stopStep < 0)
            m_out << "stop: the program has no steps\n";
        else
            m_out << "stop: past the last step, after step " << label(r.stopStep) << '\n';
        break;
    case MotionPreview::StopReason::StepBudget:
        m_out << "stop: step budget of " << r.executed.size() << " steps used; ";
        if (r.repeatStep < 0)
            m_out << "no repetition found: a counted loop runs longer, the program may yet end\n";
        else
            m_out << "repeats forever from step " << label(r.repeatStep) << ", every "
                  << seconds(r.repeatPeriod) << " s (" << r.repeatLength
                  << (r.repeatLength == 1 ? " step)\n" : " steps)\n");
        break;
    }
    m_out.flush();
    return Success;
}
