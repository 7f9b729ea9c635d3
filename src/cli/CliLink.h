#pragma once

#include "CliViews.h"
#include "link/TrafficLog.h"

#include <QEventLoop>
#include <QObject>
#include <QString>

#include <functional>

class QIODevice;
class QTextStream;
struct AppContext;

// The controller commands of velomat-cli. They drive the same command set
// as the editor's dialogs, in the same order, through the views of
// CliViews, so the same operation puts the same bytes on the wire. Each
// returns the process's exit code and reports on `err`.
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
    // empty) in the program file format.
    int upload(int channel, int axes, const QString &path);
    // Starts (true) or stops the channel's program.
    int runOrStop(int channel, bool start);

    // Writes the traffic log, when a path was given.
    void writeLog(const QString &path) const;

private:
    // Starts an exchange and runs the event loop until the views end it or
    // the link fails; the exit code of what happened.
    int exchange(const std::function<void()> &start);
    // The attention command with its answer dropped, as every dialog
    // starts; false (reported) when the port cannot be opened.
    bool resetLink();
    // The upload of the channel into views.upload; the exit code.
    int uploadInto(int channel, int axes);

    AppContext &m_ctx;
    QIODevice &m_outDevice;
    QTextStream &m_out;
    QTextStream &m_err;
    QEventLoop m_loop;
    TrafficLog m_log;
    CliViews m_views;
    QObject m_context; // ends the connections with this object
    int m_code = Success;
};
