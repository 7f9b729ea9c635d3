#include "CliRunner.h"

#include "config/ControllerType.h"
#include "config/MessagePresenter.h"
#include "config/Messages.h"
#include "config/ProgramFolder.h"
#include "config/TextCodec.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"

#include <QCommandLineParser>
#include <QSet>
#include <QTextStream>

namespace {

const QLatin1String kToolName("velomat-cli");

// The commands that talk to the controller; they come with the serial link.
const QStringList kLinkCommands = {
    QStringLiteral("ping"),     QStringLiteral("status"), QStringLiteral("download"),
    QStringLiteral("upload"),   QStringLiteral("run"),    QStringLiteral("stop"),
};

// The tool never shows a box: whatever the document would ask or report
// is written to stderr and answered as a user who closes the box would.
class StderrPresenter : public MessagePresenter
{
public:
    explicit StderrPresenter(QTextStream &err) : m_err(err) {}

    int present(MsgKind, MsgButtons buttons, const QString &, const QString &text) override
    {
        m_err << QString(text).replace(u'\n', u' ') << '\n';
        m_err.flush();
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }

private:
    QTextStream &m_err;
};

// The document keeps a cell as its command's display name and finds the
// command again by that name; the parameters follow the name separated by
// ",". So every name must be there, be the only one of its kind and hold
// no ",".
bool namesUsable(const Catalogue &catalogue)
{
    QSet<QString> seen;
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        const QString name = catalogue.name(cmd);
        if (name.isEmpty() || name.contains(u',') || seen.contains(name))
            return false;
        seen.insert(name);
    }
    return true;
}

// Each command named by its mnemonic, every other column kept.
void nameByMnemonic(Catalogue &catalogue)
{
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        QStringList columns;
        for (int col = 0; col < Catalogue::kColumnCount; ++col)
            columns << catalogue.text(cmd, col);
        columns[Catalogue::Name] = catalogue.mnemonic(cmd);
        catalogue.setCatalogueRow(cmd, columns.join(u'|'));
    }
}

} // namespace

struct CliRunner::Loaded
{
    ProgramFile::ReadResult result;
    int maxStep = 0;
};

CliRunner::CliRunner(const QString &programFolder, QTextStream &out, QTextStream &err)
    : m_langIni(ProgramFolder::file(programFolder, ControllerType::languageFileName(0))),
      m_out(out), m_err(err)
{
    m_catalogue.buildCatalogue(m_langIni);
    m_catalogue.buildParamRanges();
    if (!namesUsable(m_catalogue))
        nameByMnemonic(m_catalogue);
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
        "                  of every step, after its three-digit step number\n"
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
    loaded.maxStep = ControllerType::maxStepFor(expected);
    loaded.result = ProgramFile::readProgram(m_catalogue, bytes, expected, loaded.maxStep);
    if (loaded.result.status != ProgramFile::ReadResult::Ok) {
        m_err << file << ':' << loaded.result.line << ": " << loaded.result.reason << '\n';
        m_err.flush();
        return false;
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

    StderrPresenter presenter(m_err);
    Messages messages(m_langIni, presenter);
    ProgramDocument document(m_catalogue, m_langIni, messages, loaded.maxStep);
    document.setAxis(loaded.result.axisCount);

    // The reader hands over only cells the document takes; this guards the
    // promise rather than a case that can occur.
    if (!document.putSteps(loaded.result.steps)) {
        m_err << file << ": the document refused a cell of the file\n";
        m_err.flush();
        return Refused;
    }

    for (int row = 1; row <= document.getStep(); ++row)
        m_out << ProgramDocument::stepLabel(row) << '\t' << document.getSendStep(row) << '\n';
    m_out.flush();
    return Success;
}
