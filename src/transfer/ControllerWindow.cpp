#include "ControllerWindow.h"

#include "CompareView.h"
#include "LinkDialogParts.h"

#include "link/AppContext.h"
#include "link/Channel.h"
#include "link/ChannelState.h"
#include "link/ControllerJobs.h"
#include "link/RunControlSession.h"
#include "link/UploadSession.h"
#include "program/FileDialogs.h"
#include "program/ProgramFile.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString section() { return QStringLiteral("Controller"); }

} // namespace

ControllerWindow::ControllerWindow(AppContext &ctx, Host host, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_host(std::move(host))
{
    setObjectName(section());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(text("Title001"));

    m_table = new QTableWidget(Channel::kCount, 2, this);
    m_table->setObjectName(QStringLiteral("tblChannels"));
    m_table->setHorizontalHeaderLabels({text("Cap011"), text("Cap012")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int ch = Channel::kFirst; ch <= Channel::kLast; ++ch) {
        m_table->setItem(ch - 1, 0, new QTableWidgetItem(Channel::text(ch)));
        m_table->setItem(ch - 1, 1, new QTableWidgetItem);
    }
    m_table->selectRow(0);

    const struct
    {
        const char *name;
        const char *tag;
        void (ControllerWindow::*slot)();
    } actions[] = {
        {"cmdRefresh", "Cap001", &ControllerWindow::refresh},
        {"cmdUpload", "Cap002", &ControllerWindow::uploadSelected},
        {"cmdDownload", "Cap003", &ControllerWindow::downloadActive},
        {"cmdCompare", "Cap004", &ControllerWindow::compareActive},
        {"cmdCompareFile", "Cap005", &ControllerWindow::compareFile},
        {"cmdBackup", "Cap006", &ControllerWindow::backUp},
        {"cmdRestore", "Cap007", &ControllerWindow::restore},
        {"cmdRun", "Cap008", &ControllerWindow::runSelected},
    };
    auto *buttons = new QVBoxLayout;
    for (const auto &a : actions) {
        QPushButton *b = LinkDialogParts::button(text(a.tag), a.name, a.tag, this);
        connect(b, &QPushButton::clicked, this, a.slot);
        buttons->addWidget(b);
        m_actions << b;
    }
    m_stop = LinkDialogParts::button(text("Cap009"), "cmdStop", "Cap009", this);
    connect(m_stop, &QPushButton::clicked, this, &ControllerWindow::stop);
    buttons->addWidget(m_stop);
    buttons->addStretch();
    QPushButton *close = LinkDialogParts::button(text("Cap010"), "cmdClose", "Cap010", this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close);
    m_actions << close;

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, Channel::kCount);
    m_progress->setValue(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);

    auto *top = new QHBoxLayout;
    top->addWidget(m_table, 1);
    top->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    resize(fontMetrics().averageCharWidth() * 70, fontMetrics().height() * 30);
}

ControllerWindow::~ControllerWindow() = default;

QString ControllerWindow::text(const char *key) const
{
    return m_ctx.run.langIni.GetINIStr(section(), QLatin1String(key));
}

bool ControllerWindow::busy() const
{
    return (m_job && m_job->busy()) || (m_control && m_control->busy());
}

QList<int> ControllerWindow::selectedChannels() const
{
    QList<int> channels;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, 0)->isSelected())
            channels << row + 1;
    }
    return channels;
}

void ControllerWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        QTimer::singleShot(0, this, &ControllerWindow::refresh);
    }
}

void ControllerWindow::closeEvent(QCloseEvent *event)
{
    // Work on the line ends first; the window closes once it has.
    if (busy()) {
        stop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ControllerWindow::setBusy(bool busy)
{
    for (QPushButton *b : std::as_const(m_actions))
        b->setEnabled(!busy);
    m_table->setEnabled(!busy);
    m_stop->setEnabled(true);
    // Disabling the focused button left the focus on Stop: back to the
    // channels, where the keyboard user was.
    if (!busy && m_stop->hasFocus())
        m_table->setFocus();
}

void ControllerWindow::follow(ChannelJob *job, std::function<void(const LinkSession::Result &)> done,
                              bool keepStatus)
{
    m_job.reset(job);
    connect(job, &ChannelJob::progress, this, [this](int value, int total) {
        m_progress->setRange(0, std::max(total, 1));
        m_progress->setValue(value);
    });
    connect(job, &ChannelJob::busyChanged, this, &ControllerWindow::setBusy);
    connect(job, &ChannelJob::finished, this, [this, done = std::move(done)](const LinkSession::Result &r) {
        if (!r.ok() && r.outcome != LinkSession::Outcome::Stopped)
            m_status->setText(failure(r));
        done(r);
    });
    if (!keepStatus)
        m_status->clear();
    setBusy(true);
}

QString ControllerWindow::failure(const LinkSession::Result &r) const
{
    return r.outcome == LinkSession::Outcome::Stopped ? text("Mes020") : LinkSession::describe(r, m_ctx.messages);
}

void ControllerWindow::inform(const QString &message, bool warning)
{
    m_status->setText(message);
    m_ctx.messages.show(warning ? MsgKind::Warning : MsgKind::Information, MsgButtons::Ok, message);
}

void ControllerWindow::showState(int channel, const QString &reply)
{
    const int steps = ChannelState::count(reply);
    QString shown = steps > 0 ? text("Mes002").arg(steps) : text("Mes001");
    if (!reply.isEmpty() && !reply.startsWith(u'N') && !reply.startsWith(u'L'))
        shown = ChannelState::text(reply, m_ctx.run.langIni);
    m_table->item(channel - 1, 1)->setText(shown);
    m_table->item(channel - 1, 1)->setData(Qt::UserRole, steps);
}

void ControllerWindow::refresh()
{
    if (busy())
        return;
    auto *survey = new ChannelSurvey(m_ctx);
    connect(survey, &ChannelSurvey::channelRead, this, &ControllerWindow::showState);
    // What the last work said stays while the table is read again.
    follow(survey, [](const LinkSession::Result &) {}, true);
    survey->start();
}

void ControllerWindow::uploadSelected()
{
    if (busy())
        return;
    QList<int> channels;
    for (int ch : selectedChannels()) {
        if (m_table->item(ch - 1, 1)->data(Qt::UserRole).toInt() > 0)
            channels << ch;
    }
    if (channels.isEmpty())
        return inform(text("Mes017"));
    auto *job = new ChannelsUpload(m_ctx);
    connect(job, &ChannelsUpload::uploaded, this, [this](const UploadSession &session) {
        // A document is made at once, with the questions it may bring.
        m_ctx.messages.release();
        m_host.takeUpload(session);
        m_ctx.messages.hold();
    });
    follow(job, [this, job](const LinkSession::Result &r) {
        // Emptied since it was read: said, and the table read again.
        if (r.outcome == LinkSession::Outcome::Empty) {
            m_status->setText(text("Mes021").arg(Channel::text(job->channel())));
            QTimer::singleShot(0, this, &ControllerWindow::refresh);
        }
    });
    job->start(channels);
}

int ControllerWindow::oneChannel()
{
    const QList<int> channels = selectedChannels();
    if (channels.size() != 1) {
        inform(text("Mes017"));
        return 0;
    }
    return channels.first();
}

int ControllerWindow::channelAndProgram(QList<ProgStep> *steps, QString *name, int *axes)
{
    if (busy())
        return 0;
    const int channel = oneChannel();
    if (channel && !m_host.activeProgram(steps, name, axes)) {
        inform(text("Mes018"));
        return 0;
    }
    return channel;
}

void ControllerWindow::downloadActive()
{
    QList<ProgStep> steps;
    QString name;
    int axes = 0;
    const int channel = channelAndProgram(&steps, &name, &axes);
    if (!channel)
        return;
    if (steps.isEmpty())
        return inform(text("Mes018"));
    const QString now = m_table->item(channel - 1, 1)->text();
    const QString question = text("Mes003").arg(name).arg(steps.size()).arg(Channel::text(channel), now);
    if (m_ctx.messages.show(MsgKind::Question, MsgButtons::YesNo, question) != MsgAnswer::Yes)
        return;
    auto *job = new ProgramDownload(m_ctx);
    follow(job, [this, job, channel](const LinkSession::Result &r) {
        if (r.ok())
            showState(channel, job->state());
    });
    job->start(steps, channel);
}

void ControllerWindow::compareActive()
{
    QList<ProgStep> steps;
    QString name;
    int axes = 0;
    if (const int channel = channelAndProgram(&steps, &name, &axes))
        compare(channel, steps, name, axes);
}

void ControllerWindow::compareFile()
{
    if (busy())
        return;
    const int channel = oneChannel();
    if (!channel)
        return;
    const QString path = m_host.dialogs->askOpenFileName({{text("Cap012"), QStringLiteral("*.txt")},
                                                          {QStringLiteral("*"), QStringLiteral("*")}});
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QString why;
    if (!ProgramFile::readFileBytes(path, bytes, &why))
        return inform(path + QStringLiteral(": ") + why, true);
    const ProgramFile::ReadResult read =
        ProgramFile::readProgram(m_ctx.catalogue, bytes, m_ctx.run.axisNum, m_ctx.run.maxStep);
    if (read.status != ProgramFile::ReadResult::Ok)
        return inform(QStringLiteral("%1:%2: %3").arg(path).arg(read.line).arg(read.reason), true);
    compare(channel, read.steps, QFileInfo(path).fileName(), m_ctx.run.axisNum);
}

void ControllerWindow::compare(int channel, const QList<ProgStep> &program, const QString &name, int axes)
{
    auto *job = new CompareSession(m_ctx);
    follow(job, [this, job, channel, name](const LinkSession::Result &r) {
        if (!r.ok())
            return;
        if (job->equal())
            return inform(text("Mes016").arg(Channel::text(channel), name));
        auto *view = new CompareView(m_ctx.catalogue, m_ctx.run.langIni, channel, name, job->channelSteps(),
                                     job->program(), this);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->show();
    });
    job->start(channel, program, axes);
}

void ControllerWindow::backUp()
{
    if (busy())
        return;
    const QString name = QStringLiteral("controller-%1")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmm")));
    const QString dir = m_host.dialogs->askSaveFileName(QString(), name, {{text("Cap006"), QStringLiteral("*")}});
    if (dir.isEmpty())
        return;
    auto *job = new BackupSession(m_ctx);
    connect(job, &BackupSession::channelSaved, this, [this](int channel, int steps) {
        showState(channel, steps > 0 ? QStringLiteral("L%1").arg(steps) : QStringLiteral("N"));
    });
    follow(job, [this, dir](const LinkSession::Result &r) {
        if (r.ok())
            inform(text("Mes004").arg(QDir::toNativeSeparators(dir)));
        else
            inform(text("Mes005").arg(failure(r)), true);
    });
    job->start(dir, m_ctx.run.axisNum);
}

void ControllerWindow::restore()
{
    if (busy())
        return;
    const QString dir = m_host.dialogs->askFolder(text("Cap007"));
    if (dir.isEmpty())
        return;
    auto *job = new RestoreSession(m_ctx);
    const QList<int> selected = selectedChannels();
    // All that the backup holds unless a part of the channels is chosen.
    const bool some = selected.size() > 1 && selected.size() < Channel::kCount;
    if (!job->check(dir, some ? selected : QList<int>{})) {
        inform(text("Mes009") + u'\n' + job->problems().join(u'\n'), true);
        delete job;
        return;
    }
    QStringList lines{text("Mes006")};
    for (int ch : job->channels())
        lines << text("Mes007").arg(Channel::text(ch), m_table->item(ch - 1, 1)->text())
                     .arg(job->contents().programs.value(ch).size());
    lines << QString() << text("Mes008");
    if (m_ctx.messages.show(MsgKind::Question, MsgButtons::YesNo, lines.join(u'\n')) != MsgAnswer::Yes) {
        delete job;
        return;
    }
    follow(job, [this, job](const LinkSession::Result &r) {
        if (r.ok()) {
            inform(text("Mes010"));
        } else {
            QStringList held[3];
            for (int ch : job->channels())
                held[int(job->outcome(ch))] << Channel::text(ch);
            const auto list = [this](const QStringList &l) { return l.isEmpty() ? text("Mes015") : l.join(u' '); };
            using O = RestoreSession::ChannelOutcome;
            inform(QStringList{text("Mes011").arg(failure(r)), QString(),
                               text("Mes012").arg(list(held[int(O::Restored)])),
                               text("Mes013").arg(list(held[int(O::Untouched)])),
                               text("Mes014").arg(list(held[int(O::Incomplete)]))}
                       .join(u'\n'),
                   true);
        }
        QTimer::singleShot(0, this, &ControllerWindow::refresh);
    });
    job->start();
}

void ControllerWindow::control(bool start)
{
    if (busy())
        return;
    const int channel = oneChannel();
    if (!channel)
        return;
    m_control = std::make_unique<RunControlSession>(m_ctx);
    RunControlSession *session = m_control.get();
    connect(session, &LinkSession::busyChanged, this, &ControllerWindow::setBusy);
    connect(session, &RunControlSession::controlled, m_status, &QLabel::setText);
    connect(session, &LinkSession::finished, this, [this, session, channel, start](const LinkSession::Result &r) {
        if (!r.ok() || session->isOpen() == false)
            return;
        if (session->result().isEmpty()) {
            // Reset and state done: now the run or stop itself.
            start ? session->run(channel) : session->stop(channel);
        }
    });
    setBusy(true);
    session->open(channel);
}

void ControllerWindow::stop()
{
    if (m_job && m_job->busy())
        return m_job->stop();
    if (m_control && m_control->busy())
        return;
    control(false);
}
