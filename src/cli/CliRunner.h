#pragma once

#include "link/SerialLink.h"

#include "config/MessagePresenter.h"
#include "link/AppContext.h"

#include <QString>
#include <QStringList>

#include <functional>


class QIODevice;
class QTextStream;

// The command runner of velomat-cli: parses "velomat-cli <command> [options]
// [arguments]" and carries out the command. Results go to `out`, errors to
// `err`, one line each; the result of run() is the process's exit code.
//
// The file commands (check, show, lint, preview) read program files exactly as File >
// Open does. The controller commands (ping, download, upload, run, stop)
// drive the same link sessions as the editor's Communication dialogs,
// through CliLink.
class CliRunner
{
public:
    enum ExitCode {
        Success = 0,
        Refused = 1,    // a file refused, an error reply
        UsageError = 2,
        Different = 3,  // --verify found a difference
        LinkFailed = 4, // no answer, a port that cannot be opened or went away
    };

    // The run is built as the editor builds it, with the language file of
    // `programFolder` that --lang or the locale chooses; programs read the
    // same whatever that file holds, or without it. `outDevice` is where `out` writes: the
    // transmission texts go there as the bytes the controller is sent.
    CliRunner(const QString &programFolder, QIODevice &outDevice, QTextStream &out,
              QTextStream &err);

    // `arguments` as QCoreApplication::arguments(): the program name first.
    int run(const QStringList &arguments);

private:
    static void applyTiming(const QByteArray &setting, SerialLink::Intervals &intervals);
    static QString languageFromLocale();
    struct Loaded;
    struct LinkOptions;

    // Reads each file as File > Open does and hands each one read to
    // `take`; Refused when a file was refused or `take` said no.
    int eachFile(const QStringList &files, int axes,
                 const std::function<bool(const QString &, const Loaded &)> &take);
    int check(const QStringList &files, int axes);
    int show(const QString &file, int axes);
    // The problems of each file, one line each; Refused when one is a
    // warning (with `strict`, any), or a file is refused.
    int lint(const QStringList &files, int axes, bool strict);
    // The motion estimate of MotionPreview: a summary with the start time
    // of every executed step, or with `csv` one line per executed step.
    int preview(const QString &file, int axes, bool csv);
    // Reads one file; on refusal reports it on `err` and returns false.
    bool load(const QString &file, int axes, Loaded &loaded);
    QString helpText() const;
    int usageError(const QString &text);

    // The port and line of the options, else of com.cfg, put in place;
    // false (after a usage error on `err`) when there is none.
    bool setUpLine(const LinkOptions &options, int *code);

    // Whatever would be asked or reported in a box goes to `err`.
    class StderrPresenter : public MessagePresenter
    {
    public:
        explicit StderrPresenter(QTextStream &err) : m_err(err) {}
        int present(MsgKind, MsgButtons buttons, const QString &, const QString &text) override;
        // The controller commands report their outcome themselves.
        bool quiet = false;

    private:
        QTextStream &m_err;
    };

    StderrPresenter m_presenter;
    AppContext m_ctx;
    QString m_programFolder;
    QIODevice &m_outDevice;
    QTextStream &m_out;
    QTextStream &m_err;
};
