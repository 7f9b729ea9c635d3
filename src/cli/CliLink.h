#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "link/LinkSession.h"
#include "program/ProgCell.h"

class ChannelJob;
class QIODevice;
class QTextStream;
struct AppContext;

// The controller commands of velomat-cli. Each drives the same session as
// the editor's dialog for that operation, so the same operation puts the
// same bytes on the wire. Each returns the process's exit code and reports
// on `err`.
class CliLink
{
public:
    enum ExitCode { Success = 0, Refused = 1, Different = 3, LinkFailed = 4 };

    CliLink(AppContext &ctx, QIODevice &outDevice, QTextStream &out, QTextStream &err);
    ~CliLink();

    int ping();
    int status(int channel);
    // Downloads the steps (already read and checked) into the channel;
    // with `verify`, uploads the channel again and compares.
    int download(const QList<ProgStep> &steps, int channel, int axes, bool verify);
    // Uploads the channel and writes the program to `path` (stdout when
    // empty) in the program file format. `axes` 0: as many as the
    // controller's lines hold; a smaller count that would drop a part of
    // the program is refused.
    int upload(int channel, int axes, const QString &path);
    // Starts (true) or stops the channel's program.
    int runOrStop(int channel, bool start);
    // Every channel that holds a program into the new folder `dir`; `axes`
    // 0: the most any channel's lines hold.
    int backup(const QString &dir, int axes);
    // The backup in `dir` back into the controller, each channel verified
    // (`channels` empty: every channel the backup holds).
    int restore(const QString &dir, const QList<int> &channels, int runAxes);
    // The channel compared with the steps of a file, one line per
    // difference on stdout.
    int diff(const QList<ProgStep> &steps, int channel, int axes);

    // Writes the traffic log, when a path was given.
    void writeLog(const QString &path) const;

private:
    // Waits until the session's chain has ended; its exit code, reported.
    int await(LinkSession &session);
    int report(const LinkSession &session);
    int report(const LinkSession::Result &result);
    // Waits until the job has ended; its exit code, reported.
    int await(ChannelJob &job);
    // Keeps the session's traffic for the log.
    void keepLog(const LinkSession &session);

    AppContext &m_ctx;
    QIODevice &m_outDevice;
    QTextStream &m_out;
    QTextStream &m_err;
    QStringList m_log;
};
