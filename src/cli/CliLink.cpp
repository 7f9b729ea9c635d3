#include "CliLink.h"

#include "config/AtomicFile.h"
#include "config/TextCodec.h"
#include "link/AppContext.h"
#include "link/Channel.h"
#include "link/ControllerJobs.h"
#include "link/DownloadSession.h"
#include "link/LinkCheck.h"
#include "link/RunControlSession.h"
#include "link/StepList.h"
#include "link/UploadSession.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "program/StepDiff.h"

#include <QEventLoop>
#include <QIODevice>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <utility>

namespace {

constexpr std::chrono::milliseconds kProgressInterval{100};

} // namespace

CliLink::CliLink(AppContext &ctx, QIODevice &outDevice, QTextStream &out, QTextStream &err)
    : m_ctx(ctx), m_outDevice(outDevice), m_out(out), m_err(err)
{
}

CliLink::~CliLink() = default;

namespace {

// Runs the event loop until the session or job is idle again.
template <typename Work>
void waitUntilIdle(Work &work)
{
    if (!work.busy())
        return;
    QEventLoop loop;
    QObject::connect(&work, &Work::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    loop.exec();
}

} // namespace

int CliLink::await(LinkSession &session)
{
    waitUntilIdle(session);
    return report(session);
}

int CliLink::report(const LinkSession &session)
{
    return report(session.result());
}

int CliLink::await(ChannelJob &job)
{
    waitUntilIdle(job);
    m_log << job.log();
    return report(job.result());
}

int CliLink::report(const LinkSession::Result &r)
{
    switch (r.outcome) {
    case LinkSession::Outcome::Done:
        return Success;
    case LinkSession::Outcome::ErrorReply:
        m_err << "error reply " << TrafficLog::visible(r.reply) << ": "
              << m_ctx.messages.messageText(r.message) << '\n';
        break;
    case LinkSession::Outcome::NoAnswer:
        m_err << "no answer to " << TrafficLog::visible(r.command) << '\n';
        break;
    case LinkSession::Outcome::PortFailed:
    case LinkSession::Outcome::Refused:
    case LinkSession::Outcome::Empty:
        m_err << r.reason;
        if (!r.reply.isEmpty())
            m_err << ": " << TrafficLog::visible(r.reply);
        m_err << '\n';
        break;
    case LinkSession::Outcome::Stopped:
        break;
    }
    m_err.flush();
    const bool linkFailed = r.outcome == LinkSession::Outcome::NoAnswer
        || r.outcome == LinkSession::Outcome::PortFailed;
    return linkFailed ? LinkFailed : Refused;
}

void CliLink::keepLog(const LinkSession &session)
{
    if (!m_log.isEmpty() && !session.log().lines().isEmpty())
        m_log << QString();
    m_log << session.log().lines();
}

int CliLink::ping()
{
    LinkCheck check(m_ctx);
    check.start();
    const int code = await(check);
    keepLog(check);
    if (code == Success) {
        m_out << "ok\n";
        m_out.flush();
    }
    return code;
}

int CliLink::status(int channel)
{
    RunControlSession session(m_ctx);
    session.open(channel);
    const int code = await(session);
    keepLog(session);
    if (code == Success) {
        m_out << session.state() << '\n';
        m_out.flush();
    }
    return code;
}

int CliLink::download(const QList<ProgStep> &steps, int channel, int axes, bool verify)
{
    StepList program(m_ctx.catalogue, steps);
    int code = Success;
    {
        // The progress lines are written at most every kProgressInterval
        // and when the chain ends: formatted and written at every step, each
        // would cost a system call (more when stderr is a terminal) just
        // after the next request has gone out.
        QList<std::pair<int, int>> answered; // step, of
        const auto writeProgress = [this, &answered] {
            for (const auto &[step, total] : std::as_const(answered))
                m_err << "step " << step << '/' << total << '\n';
            answered.clear();
            m_err.flush();
        };
        QTimer progressOut;
        progressOut.setSingleShot(true);
        progressOut.setInterval(kProgressInterval);
        QObject::connect(&progressOut, &QTimer::timeout, &progressOut, writeProgress);
        DownloadSession session(m_ctx, program);
        QObject::connect(&session, &DownloadSession::progress, &session,
                         [&answered, &progressOut](int step, int total) {
                             answered.append({step, total});
                             if (!progressOut.isActive())
                                 progressOut.start();
                         });
        // Before the chain's outcome is reported.
        QObject::connect(&session, &LinkSession::busyChanged, &session, [&](bool busy) {
            if (!busy) {
                progressOut.stop();
                writeProgress();
            }
        });
        session.open(channel);
        code = await(session);
        if (code == Success) {
            if (!session.start(channel)) {
                code = report(session);
            } else {
                code = await(session);
            }
        }
        keepLog(session);
        session.close();
    }
    if (code != Success || !verify)
        return code;

    // The channel read back and compared, as the download dialog's verify
    // does; the first difference is reported.
    CompareSession compare(m_ctx);
    compare.start(channel, steps, axes);
    code = await(compare);
    if (code != Success)
        return code;
    if (!compare.equal()) {
        const StepDiff diff(m_ctx.catalogue, compare.channelSteps(), compare.program());
        const StepDiff::Row row = diff.differences().first();
        const QString sent = row.right >= 0 ? diff.stepText(compare.program().at(row.right)) : QString();
        const QString got = row.left >= 0 ? diff.stepText(compare.channelSteps().at(row.left)) : QString();
        m_err << "difference at step " << ProgramDocument::stepLabel((row.right >= 0 ? row.right : row.left) + 1)
              << ": sent \"" << sent << "\", read back \"" << got << "\"\n";
        m_err.flush();
        return Different;
    }
    m_out << "verified\n";
    m_out.flush();
    return Success;
}

int CliLink::upload(int channel, int axes, const QString &path)
{
    UploadSession session(m_ctx);
    session.open(channel);
    int code = await(session);
    if (code == Success) {
        session.start(channel);
        code = await(session);
    }
    keepLog(session);
    if (code != Success)
        return code;
    const int width = axes > 0 ? axes : session.axisCount();
    const QString loss = session.lossFor(width);
    if (!loss.isEmpty()) {
        m_err << "channel " << Channel::text(channel) << " holds a program of " << session.axisCount()
              << (session.axisCount() == 1 ? " axis" : " axes") << " and " << session.stepCount()
              << " steps: --axes " << width << " would leave out " << loss << '\n';
        m_err.flush();
        return Refused;
    }
    const QByteArray bytes = ProgramFile::writeProgram(m_ctx.catalogue, width, session.steps(width));
    // Cells the file reader would refuse are written as the controller
    // holds them, and listed, with exit 1 so that a script notices.
    const QList<UploadProblem> problems = session.problems(width);
    for (const UploadProblem &p : problems)
        m_err << "uploaded line " << p.line << ", step " << ProgramDocument::stepLabel(p.step) << " axis "
              << p.axis << ": " << p.reason << '\n';
    m_err.flush();
    code = problems.isEmpty() ? Success : Refused;
    if (path.isEmpty()) {
        m_out.flush();
        m_outDevice.write(bytes);
        return code;
    }
    QString reason;
    if (!AtomicFile::write(path, bytes, &reason)) {
        m_err << path << ": " << reason << '\n';
        m_err.flush();
        return Refused;
    }
    return code;
}

int CliLink::runOrStop(int channel, bool start)
{
    RunControlSession session(m_ctx);
    session.open(channel);
    int code = await(session);
    if (code == Success) {
        if (start)
            session.run(channel);
        else
            session.stop(channel);
        code = await(session);
    }
    keepLog(session);
    return code;
}

void CliLink::writeLog(const QString &path) const
{
    if (path.isEmpty())
        return;
    // The same form as every text file of the program: code page 932, CR LF.
    QString reason;
    if (!AtomicFile::write(path, TrafficLog::fileBytes(m_log), &reason)) {
        m_err << path << ": " << reason << '\n';
        m_err.flush();
    }
}

int CliLink::backup(const QString &dir, int axes)
{
    if (axes > 0)
        m_ctx.setControllerType(axes);
    BackupSession job(m_ctx);
    QObject::connect(&job, &BackupSession::channelSaved, &job, [this](int channel, int steps) {
        m_out << "channel " << Channel::text(channel) << ": "
              << (steps > 0 ? QStringLiteral("%1 steps").arg(steps) : QStringLiteral("empty")) << '\n';
        m_out.flush();
    });
    job.start(dir, axes);
    const int code = await(job);
    if (code != Success) {
        const int channel = job.channel();
        if (channel > 0 && job.result().outcome != LinkSession::Outcome::Refused)
            m_err << "the backup stopped at channel " << Channel::text(channel) << '\n';
        m_err << "no backup written: " << dir << " was not made\n";
        m_err.flush();
        return code;
    }
    m_out << "backup complete: " << dir << '\n';
    m_out.flush();
    return Success;
}

int CliLink::restore(const QString &dir, const QList<int> &channels, int runAxes)
{
    m_ctx.setControllerType(runAxes);
    RestoreSession job(m_ctx);
    if (!job.check(dir, channels)) {
        for (const QString &problem : job.problems())
            m_err << dir << ": " << problem << '\n';
        m_err << "nothing was sent\n";
        m_err.flush();
        return Refused;
    }
    QObject::connect(&job, &RestoreSession::channelRestored, &job, [this, &job](int channel) {
        m_out << "channel " << Channel::text(channel) << ": restored and verified, "
              << job.contents().programs.value(channel).size() << " steps\n";
        m_out.flush();
    });
    job.start();
    const int code = await(job);
    if (code == Success) {
        m_out << "restore complete\n";
        m_out.flush();
        return Success;
    }
    QStringList restored, untouched, incomplete;
    for (int channel : job.channels()) {
        const QString text = Channel::text(channel);
        switch (job.outcome(channel)) {
        case RestoreSession::ChannelOutcome::Restored: restored << text; break;
        case RestoreSession::ChannelOutcome::Untouched: untouched << text; break;
        case RestoreSession::ChannelOutcome::Incomplete: incomplete << text; break;
        }
    }
    const auto list = [](const QStringList &l) { return l.isEmpty() ? QStringLiteral("none") : l.join(u' '); };
    m_err << "restore stopped. Hold the backup: " << list(restored) << "; still hold their old program: "
          << list(untouched) << "; may be incomplete: " << list(incomplete) << '\n';
    m_err.flush();
    return code;
}

int CliLink::diff(const QList<ProgStep> &steps, int channel, int axes)
{
    CompareSession job(m_ctx);
    job.start(channel, steps, axes);
    const int code = await(job);
    if (code != Success)
        return code;
    const StepDiff diff(m_ctx.catalogue, job.channelSteps(), job.program());
    const auto quoted = [](const QString &text) { return u'"' + text + u'"'; };
    for (const StepDiff::Row &row : diff.differences()) {
        switch (row.kind) {
        case StepDiff::Row::Changed: {
            const ProgStep &left = job.channelSteps().at(row.left), &right = job.program().at(row.right);
            for (int axis : row.axes)
                m_out << "step " << ProgramDocument::stepLabel(row.left + 1) << " axis " << StepDiff::axisLetter(axis)
                      << ": channel " << quoted(diff.cellText(left, axis)) << " file "
                      << quoted(diff.cellText(right, axis)) << '\n';
            break;
        }
        case StepDiff::Row::OnlyRight:
            m_out << "+ step " << ProgramDocument::stepLabel(row.right + 1) << ": "
                  << quoted(diff.stepText(job.program().at(row.right))) << " only in the file\n";
            break;
        case StepDiff::Row::OnlyLeft:
            m_out << "- step " << ProgramDocument::stepLabel(row.left + 1) << ": "
                  << quoted(diff.stepText(job.channelSteps().at(row.left))) << " only in the channel\n";
            break;
        case StepDiff::Row::Same: break;
        }
    }
    m_out.flush();
    if (diff.equal()) {
        m_err << "channel " << Channel::text(channel) << " holds the same program\n";
        m_err.flush();
        return Success;
    }
    return Different;
}
