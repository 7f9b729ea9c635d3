#include "CliRunner.h"

#include "config/TextCodec.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "program/SendText.h"

#include <QCommandLineParser>
#include <QIODevice>
#include <QTextStream>

namespace {

const QLatin1String kToolName("velomat-cli");

// The commands that talk to the controller; they come with the serial link.
const QStringList kLinkCommands = {
    QStringLiteral("ping"),     QStringLiteral("status"), QStringLiteral("download"),
    QStringLiteral("upload"),   QStringLiteral("run"),    QStringLiteral("stop"),
};

} // namespace

struct CliRunner::Loaded
{
    ProgramFile::ReadResult result;
};

// The tool never shows a box: the text is written to stderr and answered as
// a user who closes the box would.
int CliRunner::StderrPresenter::present(MsgKind, MsgButtons buttons, const QString &,
                                        const QString &text)
{
    m_err << QString(text).replace(u'\n', u' ') << '\n';
    m_err.flush();
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
        "Options:\n"
        "  --axes N        the run's axis count 1..3 (1 allows 100 steps, 2 and 3\n"
        "                  allow 200); default: the axis count in each file's header\n"
        "  -h, --help      show this help\n"
        "\n"
        "Exit codes: 0 success, 1 a file was refused, 2 usage error.\n");
}

int CliRunner::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption axesOption(QStringLiteral("axes"), QString(), QStringLiteral("N"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(axesOption);
    parser.addOption(helpOption);

    const bool parsed = parser.parse(arguments);
    // Even when an option is unknown the words are all collected, so the
    // command can still be named.
    QStringList words = parser.positionalArguments();
    const QString command = words.isEmpty() ? QString() : words.takeFirst();

    if (kLinkCommands.contains(command)) {
        m_err << kToolName << ": " << command
              << ": not available in this build (the serial link is not part of it yet)\n";
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
