#include "UploadSession.h"

#include "AppContext.h"
#include "Channel.h"
#include "ChannelState.h"
#include "program/ProgramDocument.h"

#include <algorithm>

UploadSession::UploadSession(AppContext &ctx, QObject *parent)
    : LinkSession(ctx, parent), m_table(ctx.catalogue)
{
}

void UploadSession::open(int channel)
{
    m_channel = channel;
    m_state.clear();
    m_statusCount = 0;
    openSession(SerialLink::Route::Upload, nullptr, nullptr, nullptr, this, nullptr, true);
}

void UploadSession::afterReset()
{
    m_commands.reqChInfUp(m_channel);
}

void UploadSession::requestState(int channel)
{
    m_channel = channel;
    beginChain();
    m_commands.reqChInfUp(channel);
}

void UploadSession::start(int channel)
{
    m_channel = channel;
    m_table.initUpload(mdlUpLoad::kMaxAxes);
    m_lines = 0;
    m_widest = 1;
    m_hasProgram = false;
    m_uploading = true;
    beginChain();
    emit progress(0, m_statusCount);
    m_commands.reqUpload(channel);
}

void UploadSession::stop()
{
    if (!m_uploading)
        return;
    m_commands.endExchange();
    Result r;
    r.outcome = Outcome::Stopped;
    fail(r);
    m_uploading = false;
    endChain();
    // The controller is told; its answer ends nothing more.
    m_commands.sendUploadNg();
    m_ctx.messages.showKey(QStringLiteral("Mes001"), MsgKind::Information);
}

void UploadSession::DispStatus(const QString &reply)
{
    m_state = reply;
    m_statusCount = ChannelState::count(reply);
    emit stateChanged(reply);
}

void UploadSession::SetEnabled(bool running)
{
    if (running)
        return;
    m_uploading = false;
    endChain();
}

void UploadSession::Plus1Progress()
{
    emit progress(m_lines, std::max(m_statusCount, m_lines));
}

bool UploadSession::bTakeUploadLine(const QByteArray &line)
{
    if (!m_table.bTakeUploadLine(line)) {
        Result r;
        r.outcome = Outcome::Refused;
        r.reply = line;
        r.reason = QStringLiteral("uploaded line %1 refused").arg(m_lines + 1);
        fail(r);
        return false;
    }
    ++m_lines;
    m_widest = std::max(m_widest, int(line.count('|')) + 1);
    return true;
}

void UploadSession::uploadFinished()
{
    m_uploading = false;
    m_hasProgram = m_lines > 0 && !failed();
    if (m_lines == 0) {
        Result r;
        r.outcome = Outcome::Empty;
        r.reason = QStringLiteral("channel %1 holds no program").arg(Channel::text(m_channel));
        fail(r);
    }
    endChain();
}

QList<ProgStep> UploadSession::steps(int axes) const
{
    QList<ProgStep> all = m_table.finishUpload();
    if (axes == 1 && all.size() > mdlUpLoad::kOneAxisSteps)
        all.resize(mdlUpLoad::kOneAxisSteps);
    for (ProgStep &step : all)
        step.resize(std::min<qsizetype>(axes, step.size()));
    return all;
}

namespace {

// The letter of axis 1..3, as the grid's columns name them.
QChar axisLetter(int axis) { return QChar(u'A' + axis - 1); }

} // namespace

QString UploadSession::lossFor(int axes) const
{
    const Messages &messages = m_ctx.messages;
    QStringList lost;
    if (m_widest == axes + 1)
        lost << messages.keyText(QStringLiteral("Mes074")).arg(axisLetter(m_widest));
    else if (m_widest > axes)
        lost << messages.keyText(QStringLiteral("Mes075"))
                    .arg(axisLetter(axes + 1))
                    .arg(axisLetter(m_widest));
    if (axes == 1 && m_lines > mdlUpLoad::kOneAxisSteps)
        lost << messages.keyText(QStringLiteral("Mes076"))
                    .arg(ProgramDocument::stepLabel(mdlUpLoad::kOneAxisSteps + 1))
                    .arg(ProgramDocument::stepLabel(m_lines));
    if (lost.size() == 2)
        return messages.keyText(QStringLiteral("Mes077")).arg(lost[0], lost[1]);
    return lost.value(0);
}

QString UploadSession::problemReport(int axes, int most) const
{
    const QList<UploadProblem> problems = m_table.problems(axes);
    if (problems.isEmpty())
        return QString();
    const Messages &messages = m_ctx.messages;
    QStringList lines{messages.keyText(QStringLiteral("Mes078"))};
    for (const UploadProblem &p : problems.mid(0, most))
        lines << messages.keyText(QStringLiteral("Mes079"))
                     .arg(p.line)
                     .arg(ProgramDocument::stepLabel(p.step))
                     .arg(axisLetter(p.axis))
                     .arg(p.reason);
    if (problems.size() > most)
        lines << messages.keyText(QStringLiteral("Mes080")).arg(problems.size() - most);
    return lines.join(u'\n');
}
