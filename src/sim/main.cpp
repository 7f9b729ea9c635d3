// velomat-sim: a simulated controller on a pseudo-terminal, for trying the
// editor without hardware and for tests.

#include "SimController.h"
#include "TerminationWatcher.h"
#include "config/Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

const char *const kDescription = R"(A simulated motion controller on a pseudo-terminal.

The first line on stdout is the device path of the host's end of the line.
The simulator then serves the controller protocol until SIGINT or SIGTERM.
Channels 01..15 keep the programs downloaded into them and upload them back
in the controller's fixed-width line format.

Commands end with CR LF (a lone CR or LF also ends one). Every reply is one
line ended by the --eol line end; ACK is the byte 0x06.
  ?:           OK
  CHINF:nn     Lnnn (the steps stored in channel nn), N for an empty channel;
               !3 for a channel outside 01..15
  LOAD:nn      ACK; 01..15 starts a download into channel nn, 99 precedes
               run start and stop; !3 for any other channel
  step text    during a download: ACK; !1 for a malformed step, !4 past 200
               steps
  PGWRT:       ACK, the downloaded steps become the channel's program;
               !1 without a download
  REMOTE:      ACK
  Z:nn, U07:   no reply (run channel nn, stop the run)
  UPLOAD:nn    the channel's first step as an upload line, the empty line for
               an empty channel; !3 for a channel outside 01..15
  empty line   during an upload: the next line, after the last one the empty
               line that ends the upload
  NG:          during an upload: ACK, and the upload ends
  any other    !1
The error replies mean what the host's message table says: !1 syntax error
(command not recognised), !3 channel error, !4 program memory full; !0, !2
and !5..!8 come only from --fail.
A download ends at PGWRT: or at any command other than ?: and CHINF:. An
upload ends at its empty line, at NG: or at any other command. The host
reopens its port for every command: what of earlier replies reached it before
is lost, what the simulator has not sent yet goes on (ahead of the new reply).

Faults replace what a command does: it is not carried out, and the given
error reply or nothing is sent. KEYWORD is the text before the command's
colon (CHINF, LOAD, PGWRT, AGO, ...), EMPTY for the empty line the host sends
as its acknowledgement during an upload; KEYWORD#N picks only the N-th
command with that keyword since start. Download steps are numbered as the
editor shows them: the first step of a download is 0. --delay is no fault:
the command is carried out and its reply sent MS milliseconds after it came
in (e.g. --delay PGWRT=3150 for an answer past the host's 3 s time-out).)";

struct Usage
{
    SimOptions options;
    QString link;
};

bool parseUsage(QCommandLineParser &parser, Usage *usage, QString *error)
{
    const QString eol = parser.value(QStringLiteral("eol")).toLower();
    if (eol == QLatin1String("cr"))
        usage->options.eol = "\r";
    else if (eol == QLatin1String("lf"))
        usage->options.eol = "\n";
    else if (eol == QLatin1String("crlf"))
        usage->options.eol = "\r\n";
    else {
        *error = QStringLiteral("--eol must be cr, lf or crlf");
        return false;
    }

    auto number = [&](const char *name, int minimum, int *out) {
        if (!parser.isSet(QLatin1String(name)))
            return true;
        bool ok = false;
        *out = parser.value(QLatin1String(name)).toInt(&ok);
        if (ok && *out >= minimum)
            return true;
        *error = QStringLiteral("--%1 must be a number of at least %2").arg(QLatin1String(name)).arg(minimum);
        return false;
    };
    if (!number("baud", 0, &usage->options.baud) || !number("chunk", 1, &usage->options.chunkSize)
        || !number("lf-delay", 0, &usage->options.lfDelayMs))
        return false;
    if (usage->options.lfDelayMs > 0 && usage->options.eol != "\r\n") {
        *error = QStringLiteral("--lf-delay needs the line end crlf");
        return false;
    }

    for (const char *name : {"fail", "silent", "delay", "fail-step", "silent-step"}) {
        const QString option = QLatin1String(name);
        for (const QString &value : parser.values(option)) {
            const std::optional<SimFault> fault = SimFault::fromOption(option, value, error);
            if (!fault)
                return false;
            usage->options.faults << *fault;
        }
    }
    usage->options.storeFile = parser.value(QStringLiteral("store"));
    usage->link = parser.value(QStringLiteral("link"));
    return true;
}

bool makeLink(const QString &link, const QString &device, QString *error)
{
    const QFileInfo existing(link);
    if ((existing.exists() || existing.isSymLink()) && !QFile::remove(link)) {
        *error = QStringLiteral("--link %1: the existing file cannot be replaced").arg(link);
        return false;
    }
    if (!QFile::link(device, link)) {
        *error = QStringLiteral("--link %1: the link cannot be made").arg(link);
        return false;
    }
    return true;
}

void removeLink(const QString &link, const QString &device)
{
    // Only while it still leads to this simulator's device: another one may
    // have taken the name over since.
    const QFileInfo info(link);
    if (info.isSymLink() && info.symLinkTarget() == device)
        QFile::remove(link);
}

} // namespace

int main(int argc, char *argv[])
{
    TerminationWatcher::blockTerminationSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velomat-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    // -h and --help only: Qt's own help option would also list a
    // --help-all that the simulator has nothing to add to.
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")});
    parser.addOption({QStringLiteral("version"), QStringLiteral("Show the program's name and version.")});
    parser.addOptions({
        {QStringLiteral("eol"), QStringLiteral("The line end of replies: cr, lf or crlf (default crlf)."),
         QStringLiteral("cr|lf|crlf"), QStringLiteral("crlf")},
        {QStringLiteral("baud"), QStringLiteral("Pace replies at N baud, 10 bits per byte (0: no pacing)."),
         QStringLiteral("N")},
        {QStringLiteral("chunk"), QStringLiteral("Send every reply in chunks of N bytes, 5 ms apart."),
         QStringLiteral("N")},
        {QStringLiteral("lf-delay"), QStringLiteral("Send the LF of every CR LF reply MS milliseconds after "
                                                    "its CR, as a USB serial adapter may (with --baud and "
                                                    "--chunk: after the CR has gone out)."),
         QStringLiteral("MS")},
        {QStringLiteral("fail"), QStringLiteral("Answer the error reply (e.g. !5) instead of the command."),
         QStringLiteral("KEYWORD[#N]=!D")},
        {QStringLiteral("silent"), QStringLiteral("Answer nothing to the command."),
         QStringLiteral("KEYWORD[#N]")},
        {QStringLiteral("delay"), QStringLiteral("Carry the command out, but send its reply MS ms after "
                                                 "it came in."),
         QStringLiteral("KEYWORD[#N]=MS")},
        {QStringLiteral("fail-step"), QStringLiteral("Answer the error reply to download step N."),
         QStringLiteral("N=!D")},
        {QStringLiteral("silent-step"), QStringLiteral("Answer nothing to download step N."),
         QStringLiteral("N")},
        {QStringLiteral("store"), QStringLiteral("Keep the channels in FILE across runs (read at start, "
                                                 "written after every PGWRT:)."),
         QStringLiteral("FILE")},
        {QStringLiteral("link"), QStringLiteral("Make PATH a symbolic link to the device (replacing what "
                                                "is there; removed on exit)."),
         QStringLiteral("PATH")},
    });
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "velomat-sim: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s\n", qPrintable(versionText("velomat-sim")));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "velomat-sim: unexpected argument %s\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 2;
    }

    Usage usage;
    QString error;
    if (!parseUsage(parser, &usage, &error)) {
        std::fprintf(stderr, "velomat-sim: %s\n", qPrintable(error));
        return 2;
    }

    SimController sim(usage.options);
    if (!sim.start(&error)) {
        std::fprintf(stderr, "velomat-sim: %s\n", qPrintable(error));
        return 1;
    }
    const QString device = sim.devicePath();
    if (!usage.link.isEmpty() && !makeLink(usage.link, device, &error)) {
        std::fprintf(stderr, "velomat-sim: %s\n", qPrintable(error));
        return 1;
    }

    TerminationWatcher watcher;
    QObject::connect(&watcher, &TerminationWatcher::terminationRequested, &app,
                     &QCoreApplication::quit);

    std::printf("%s\n", qPrintable(device));
    std::fflush(stdout);

    const int code = QCoreApplication::exec();
    if (!usage.link.isEmpty())
        removeLink(usage.link, device);
    return code;
}
