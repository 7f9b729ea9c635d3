#include "ControllerJobs.h"

#include "AppContext.h"
#include "Channel.h"
#include "ChannelState.h"
#include "LineValues.h"
#include "UploadSession.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "program/StepDiff.h"

#include <QCryptographicHash>

#include <algorithm>

namespace {

LinkSession::Result refusal(const QString &reason)
{
    LinkSession::Result r;
    r.outcome = LinkSession::Outcome::Refused;
    r.reason = reason;
    return r;
}

} // namespace

// ---- ChannelSurvey ----------------------------------------------------------

ChannelSurvey::ChannelSurvey(AppContext &ctx, QObject *parent) : ChannelJob(ctx, parent) {}

int ChannelSurvey::steps(int channel) const
{
    return ChannelState::count(state(channel));
}

void ChannelSurvey::start()
{
    begin();
    m_states = QStringList(Channel::kCount, QString());
    emit progress(0, Channel::kCount);
    readStates(
        Channel::kFirst,
        [this](int channel, const QString &reply) {
            m_states[channel - 1] = reply;
            emit channelRead(channel, reply);
            emit progress(channel, Channel::kCount);
        },
        [this] { finishDone(); });
}

// ---- BackupSession ----------------------------------------------------------

BackupSession::BackupSession(AppContext &ctx, QObject *parent) : ChannelJob(ctx, parent) {}

bool BackupSession::start(const QString &dir, int axes)
{
    m_dir = dir;
    m_axes = axes;
    m_told = 0;
    m_pending.clear();
    m_programs.clear();
    m_widest = 1;
    m_manifest = BackupFolder::Manifest();
    const QString problem = BackupFolder::targetProblem(dir, m_ctx.run.langIni);
    begin();
    if (!problem.isEmpty()) {
        finish(refusal(problem));
        return false;
    }
    m_manifest.taken = QDateTime::currentDateTime().toOffsetFromUtc(
        QDateTime::currentDateTime().offsetFromUtc());
    m_manifest.port = m_ctx.comSettings.appliedLine().device;
    m_manifest.line = LineValues::text(m_ctx.comSettings.appliedLine());
    emit progress(0, Channel::kCount);
    readStates(
        Channel::kFirst,
        [this](int channel, const QString &reply) {
            m_manifest.channels << BackupFolder::Entry{channel, 0, {}};
            if (ChannelState::count(reply) > 0)
                m_pending << channel;
        },
        [this] {
            emit progress(Channel::kCount - int(m_pending.size()), Channel::kCount);
            uploadNext();
        });
    return true;
}

LinkSession::Result BackupSession::refused(const QString &reason) const
{
    return refusal(BackupFolder::text(m_ctx.run.langIni, 18, "channel %1: %2").arg(channel()).arg(reason));
}

void BackupSession::uploadNext()
{
    if (m_pending.isEmpty()) {
        writeFolder();
        return;
    }
    const int next = m_pending.takeFirst();
    tellEmptyBefore(next);
    upload(next, [this](const UploadSession &session) { taken(session); });
}

void BackupSession::taken(const UploadSession &session)
{
    const int width = m_axes > 0 ? m_axes : session.axisCount();
    if (const QString loss = session.lossFor(width); !loss.isEmpty()) {
        finish(refused(BackupFolder::text(m_ctx.run.langIni, 12, "%1 axes would leave out %2").arg(width).arg(loss)));
        return;
    }
    const QList<UploadProblem> problems = session.problems(width);
    if (!problems.isEmpty()) {
        const UploadProblem &p = problems.first();
        finish(refused(BackupFolder::text(m_ctx.run.langIni, 13, "step %1 axis %2: %3 (the file would not read back)")
                           .arg(ProgramDocument::stepLabel(p.step))
                           .arg(p.axis)
                           .arg(p.reason)));
        return;
    }
    m_widest = std::max(m_widest, session.axisCount());
    m_programs.insert(session.channel(), session.steps(width));
    m_told = session.channel();
    emit channelSaved(session.channel(), session.stepCount());
    emit progress(Channel::kCount - int(m_pending.size()), Channel::kCount);
    uploadNext();
}

void BackupSession::tellEmptyBefore(int channel)
{
    while (m_told + 1 < channel)
        emit channelSaved(++m_told, 0);
}

void BackupSession::writeFolder()
{
    tellEmptyBefore(Channel::kLast + 1);
    const int width = m_axes > 0 ? m_axes : m_widest;
    m_manifest.axes = width;
    // Asked for an axis count, the run's controller type; else the widest
    // line the controller sent is all that is known of it.
    m_manifest.controllerType = m_axes > 0 ? m_ctx.run.axisNum : width;
    QMap<int, QByteArray> files;
    for (BackupFolder::Entry &c : m_manifest.channels) {
        if (!m_programs.contains(c.channel))
            continue;
        QList<ProgStep> steps = m_programs.value(c.channel);
        for (ProgStep &s : steps)
            s.resize(width);
        const QByteArray bytes = ProgramFile::writeProgram(m_ctx.catalogue, width, steps);
        c.steps = int(steps.size());
        c.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        files.insert(c.channel, bytes);
    }
    QString error;
    if (!BackupFolder::write(m_dir, m_manifest, files, m_ctx.run.langIni, &error)) {
        finish(refusal(error));
        return;
    }
    finishDone();
}

// ---- RestoreSession ---------------------------------------------------------

RestoreSession::RestoreSession(AppContext &ctx, QObject *parent) : ChannelJob(ctx, parent) {}

bool RestoreSession::check(const QString &dir, const QList<int> &channels)
{
    m_contents = BackupFolder::read(dir, m_ctx.catalogue, m_ctx.run.axisNum, m_ctx.run.maxStep, m_ctx.run.langIni);
    m_problems = m_contents.problems;
    m_chosen.clear();
    m_outcomes.clear();
    m_difference.clear();
    if (channels.isEmpty()) {
        m_chosen = m_contents.programs.keys();
    } else {
        for (int ch : channels) {
            if (m_contents.programs.contains(ch))
                m_chosen << ch;
            else
                m_problems << BackupFolder::text(m_ctx.run.langIni, 14, "channel %1: the backup holds no program for it").arg(ch);
        }
    }
    if (m_problems.isEmpty() && m_chosen.isEmpty())
        m_problems << BackupFolder::text(m_ctx.run.langIni, 15, "the backup holds no program to restore");
    return m_problems.isEmpty();
}

QStringList RestoreSession::problems() const
{
    return m_problems;
}

void RestoreSession::start()
{
    begin();
    if (!m_problems.isEmpty()) {
        finish(refusal(m_problems.join(u'\n')));
        return;
    }
    m_index = 0;
    emit progress(0, int(m_chosen.size()));
    next();
}

void RestoreSession::next()
{
    if (m_index >= m_chosen.size()) {
        m_current = 0;
        finishDone();
        return;
    }
    m_current = m_chosen.at(m_index);
    const QList<ProgStep> &steps = m_contents.programs[m_current];
    const int axes = m_contents.manifest.axes;
    download(steps, m_current, [this] { m_outcomes[m_current] = ChannelOutcome::Incomplete; }, [this, axes] {
        upload(m_current, [this, axes](const UploadSession &session) {
            const StepDiff diff(m_ctx.catalogue, session.steps(axes), m_contents.programs[m_current]);
            if (!diff.equal()) {
                const StepDiff::Row first = diff.differences().first();
                const int step = first.right >= 0 ? first.right : first.left;
                m_difference = BackupFolder::text(m_ctx.run.langIni, 16, "channel %1 read back otherwise than the backup from step %2 on")
                                   .arg(m_current)
                                   .arg(ProgramDocument::stepLabel(step + 1));
                finish(refusal(m_difference));
                return;
            }
            m_outcomes[m_current] = ChannelOutcome::Restored;
            emit channelRestored(m_current);
            ++m_index;
            emit progress(int(m_index), int(m_chosen.size()));
            next();
        });
    });
}

// ---- ChannelsUpload ---------------------------------------------------------

ChannelsUpload::ChannelsUpload(AppContext &ctx, QObject *parent) : ChannelJob(ctx, parent) {}

void ChannelsUpload::start(const QList<int> &channels)
{
    begin();
    m_pending = channels;
    m_total = int(channels.size());
    next();
}

void ChannelsUpload::next()
{
    emit progress(m_total - int(m_pending.size()), m_total);
    if (m_pending.isEmpty()) {
        finishDone();
        return;
    }
    upload(m_pending.takeFirst(), [this](const UploadSession &session) {
        emit uploaded(session);
        next();
    });
}

// ---- ProgramDownload --------------------------------------------------------

void ProgramDownload::start(const QList<ProgStep> &steps, int channel)
{
    begin();
    m_state.clear();
    download(steps, channel, {}, [this, channel] {
        readState(channel, [this](const QString &reply) {
            m_state = reply;
            finishDone();
        });
    });
}

// ---- CompareSession ---------------------------------------------------------

CompareSession::CompareSession(AppContext &ctx, QObject *parent) : ChannelJob(ctx, parent) {}

void CompareSession::start(int channel, const QList<ProgStep> &program, int axes)
{
    begin();
    m_program = program;
    m_channelSteps.clear();
    m_equal = false;
    upload(channel, [this, axes](const UploadSession &session) {
        if (!session.hasProgram()) {
            LinkSession::Result r;
            r.outcome = LinkSession::Outcome::Empty;
            r.reason = BackupFolder::text(m_ctx.run.langIni, 17, "the channel holds no program");
            finish(r);
            return;
        }
        m_channelSteps = session.steps(axes);
        m_equal = StepDiff(m_ctx.catalogue, m_channelSteps, m_program).equal();
        finishDone();
    });
}
