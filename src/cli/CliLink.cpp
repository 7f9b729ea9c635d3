#include "CliLink.h"

#include "config/AtomicFile.h"
#include "config/NumberText.h"
#include "link/AppContext.h"
#include "program/ProgramFile.h"
#include "program/SendText.h"

#include <QIODevice>
#include <QTextStream>

namespace {

// A step as the controller keeps it: numbers by value ("007" and "7" are
// the same), every other parameter as text, for comparing what was sent
// with what comes back.
QString normalised(const Catalogue &catalogue, ProgStep step)
{
    for (ProgCell &cell : step) {
        for (QString &p : cell.params) {
            p = trimSpaces(p);
            if (!p.isEmpty() && NumberText::isSignsAndDigits(p))
                p = QString::number(NumberText::leadingInteger(p));
        }
    }
    return SendText::step(catalogue, step);
}

} // namespace

CliLink::CliLink(AppContext &ctx, QIODevice &outDevice, QTextStream &out, QTextStream &err)
    : m_ctx(ctx), m_outDevice(outDevice), m_out(out), m_err(err),
      m_views(ctx.catalogue, m_loop, err, m_log)
{
    CommandSet &commands = ctx.commands;
    commands.setWaitView(&m_views);
    commands.setDownView(&m_views);
    commands.setUpView(&m_views);
    commands.setStepSource(&m_views);

    auto fail = [this](int code) {
        m_code = code;
        m_loop.quit();
    };
    // Only the first failure of an operation is reported: what follows it
    // (more error replies of a burst, say) is its consequence.
    QObject::connect(&commands, &CommandSet::errorReplied, &m_context,
                     [this, fail](const QByteArray &line, int message) {
                         if (m_code != Success)
                             return;
                         m_err << "error reply " << TrafficLog::visible(line) << ": "
                               << m_ctx.messages.messageText(message) << '\n';
                         fail(Refused);
                     });
    QObject::connect(&commands, &CommandSet::timedOut, &m_context, [this, fail](const QByteArray &command) {
        if (m_code != Success)
            return;
        m_err << "no answer to " << TrafficLog::visible(command) << '\n';
        fail(LinkFailed);
    });
    QObject::connect(&commands, &CommandSet::portFailed, &m_context, [this, fail](const QString &reason) {
        if (m_code != Success)
            return;
        m_err << reason << '\n';
        fail(LinkFailed);
    });
    QObject::connect(&ctx.link, &SerialLink::traffic, &m_context,
                     [this](const QByteArray &text, bool received) {
                         if (!text.isEmpty())
                             m_log.putMsg(text, received);
                     });
}

CliLink::~CliLink()
{
    CommandSet &commands = m_ctx.commands;
    commands.endExchange();
    commands.setWaitView(nullptr);
    commands.setDownView(nullptr);
    commands.setExeView(nullptr);
    commands.setUpView(nullptr);
    commands.setStepSource(nullptr);
    m_ctx.link.bUpOpen = false;
}

int CliLink::exchange(const std::function<void()> &start)
{
    m_code = Success;
    start();
    // A port that cannot be opened: the system's reason, at once.
    if (m_code == Success && !m_ctx.link.isOpen() && !m_ctx.link.lastError().isEmpty()) {
        m_ctx.commands.endExchange();
        m_err << m_ctx.link.lastError() << '\n';
        m_code = LinkFailed;
    }
    if (m_code == Success && m_ctx.commands.waiting())
        m_loop.exec();
    m_err.flush();
    return m_code;
}

bool CliLink::resetLink()
{
    m_ctx.link.resetLink();
    if (m_ctx.link.isOpen() || m_ctx.link.lastError().isEmpty())
        return true;
    m_err << m_ctx.link.lastError() << '\n';
    m_err.flush();
    m_code = LinkFailed;
    return false;
}

int CliLink::ping()
{
    bool passed = false;
    QObject::connect(&m_ctx.commands, &CommandSet::commCheckPassed, &m_context, [&] { passed = true; });
    const int code = exchange([this] { m_ctx.commands.startCommCheck(); });
    if (code == Success && passed) {
        m_out << "ok\n";
        m_out.flush();
    }
    return code == Success && !passed ? LinkFailed : code;
}

int CliLink::status(int channel)
{
    if (!resetLink())
        return m_code;
    m_ctx.commands.setExeView(&m_views);
    const int code = exchange([&] { m_ctx.commands.reqChInfExe(channel); });
    m_ctx.commands.setExeView(nullptr);
    if (code == Success) {
        m_out << m_views.state << '\n';
        m_out.flush();
    }
    return code;
}

int CliLink::download(const QList<ProgStep> &steps, int channel, int axes, bool verify)
{
    // As the download dialog: the line end of the controller found out
    // from the first reply, the channel's state asked for, then the chain.
    m_views.steps = steps;
    m_ctx.link.bDownOpen = true;
    m_ctx.link.setCrLfState(SerialLink::Armed);
    if (!resetLink())
        return m_code;
    int code = exchange([&] { m_ctx.commands.reqChInfDown(channel); });
    bool completed = false;
    QObject::connect(&m_ctx.commands, &CommandSet::downloadCompleted, &m_context, [&] { completed = true; });
    if (code == Success)
        code = exchange([&] { m_ctx.commands.reqLoad(channel); });
    m_ctx.link.bDownOpen = false;
    if (code != Success || !verify)
        return code;
    if (!completed)
        return LinkFailed;

    code = uploadInto(channel, axes);
    if (code != Success)
        return code;
    const QList<ProgStep> back = m_views.upload.finishUpload();
    const qsizetype n = std::max(steps.size(), back.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString sent = i < steps.size() ? normalised(m_ctx.catalogue, steps.at(i)) : QString();
        const QString got = i < back.size() ? normalised(m_ctx.catalogue, back.at(i)) : QString();
        if (sent != got) {
            m_err << "difference at step " << QString::number(i).rightJustified(3, u'0') << ": sent \""
                  << sent << "\", read back \"" << got << "\"\n";
            m_err.flush();
            return Different;
        }
    }
    m_out << "verified\n";
    m_out.flush();
    return Success;
}

int CliLink::uploadInto(int channel, int axes)
{
    // As the upload dialog: lines go to the upload handling while it is
    // open; the channel's state first, then the upload itself.
    m_ctx.link.bUpOpen = true;
    if (!resetLink())
        return m_code;
    int code = exchange([&] { m_ctx.commands.reqChInfUp(channel); });
    if (code == Success) {
        m_views.completed = false;
        m_views.refusedLine.clear();
        m_views.upload.initUpload(axes);
        code = exchange([&] { m_ctx.commands.reqUpload(channel); });
    }
    m_ctx.link.bUpOpen = false;
    if (code != Success)
        return code;
    if (!m_views.refusedLine.isEmpty()) {
        m_err << "uploaded line refused: " << TrafficLog::visible(m_views.refusedLine) << '\n';
        m_err.flush();
        return Refused;
    }
    if (!m_views.completed || m_views.upload.finishUpload().isEmpty()) {
        m_err << "the upload ended without a program\n";
        m_err.flush();
        return Refused;
    }
    return Success;
}

int CliLink::upload(int channel, int axes, const QString &path)
{
    const int code = uploadInto(channel, axes);
    if (code != Success)
        return code;
    const QByteArray bytes = ProgramFile::writeProgram(m_ctx.catalogue, axes, m_views.upload.finishUpload());
    if (path.isEmpty()) {
        m_out.flush();
        m_outDevice.write(bytes);
        return Success;
    }
    QString reason;
    if (!AtomicFile::write(path, bytes, &reason)) {
        m_err << path << ": " << reason << '\n';
        m_err.flush();
        return Refused;
    }
    return Success;
}

int CliLink::runOrStop(int channel, bool start)
{
    if (!resetLink())
        return m_code;
    m_ctx.commands.setExeView(&m_views);
    m_views.channel = channel;
    m_views.start = m_views.stop = false;
    int code = exchange([&] { m_ctx.commands.reqChInfExe(channel); });
    if (code == Success) {
        m_views.start = start;
        m_views.stop = !start;
        code = exchange([&] { m_ctx.commands.reqLoad(99); });
    }
    // The run or stop command awaits no answer: it is on the line once
    // written out.
    m_ctx.link.drain();
    m_ctx.commands.setExeView(nullptr);
    return code;
}

void CliLink::writeLog(const QString &path) const
{
    if (path.isEmpty())
        return;
    QString reason;
    if (!AtomicFile::write(path, m_log.lines().join(u'\n').toUtf8() + '\n', &reason)) {
        m_err << path << ": " << reason << '\n';
        m_err.flush();
    }
}
