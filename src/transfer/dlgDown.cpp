#include "dlgDown.h"

#include "LinkDialogParts.h"
#include "LinkLog.h"
#include "CompareView.h"

#include "config/SettingLine.h"
#include "link/AppContext.h"
#include "link/ControllerJobs.h"
#include "link/ChannelState.h"
#include "link/LastChannel.h"
#include "link/DownloadSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr const char *kVerifyFile = "verify.cfg";

QString section() { return QStringLiteral("dlgDown"); }

} // namespace

dlgDown::dlgDown(AppContext &ctx, StepSource &program, const QString &documentCaption, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_session(std::make_unique<DownloadSession>(ctx, program))
{
    setObjectName(section());
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *frameTx = new QGroupBox(QStringLiteral("CH"), this);
    frameTx->setObjectName(QStringLiteral("frameTx"));
    auto *lblCh = new QLabel(QStringLiteral("CH :"), frameTx);
    m_comboCh = new QComboBox(frameTx);
    m_focus.setChannels(m_comboCh);
    m_comboCh->setObjectName(QStringLiteral("comboCh"));
    m_comboCh->setAccessibleName(QStringLiteral("CH"));
    lblCh->setBuddy(m_comboCh);
    auto *channel = new QHBoxLayout(frameTx);
    channel->addWidget(lblCh);
    channel->addWidget(m_comboCh, 1);

    m_cmdTx = LinkDialogParts::button(QString::fromUtf16(u"ﾀﾞｳﾝﾛｰﾄﾞ"), "cmdTx", "Cap003", this);
    m_cmdStop = LinkDialogParts::button(QString::fromUtf16(u"中断"), "cmdStop", "Cap002", this);
    m_cmdClose = LinkDialogParts::button(QString::fromUtf16(u"閉じる"), "cmdClose", "Cap001", this);
    auto *top = new QHBoxLayout;
    top->addWidget(frameTx);
    top->addStretch();
    top->addWidget(m_cmdTx, 0, Qt::AlignBottom);
    top->addWidget(m_cmdStop, 0, Qt::AlignBottom);
    top->addWidget(m_cmdClose, 0, Qt::AlignBottom);

    auto *label1 = new QLabel(QString::fromUtf16(u"状態　:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap004"));
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setFrameShape(QFrame::Panel);
    m_lblStatus->setFrameShadow(QFrame::Sunken);
    m_lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label1->setBuddy(m_lblStatus);
    auto *status = new QHBoxLayout;
    status->addWidget(label1);
    status->addWidget(m_lblStatus, 1);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setTextVisible(false);
    // "step 37 of 120", the time taken and the time still to go.
    m_lblProgress = new QLabel(this);
    m_lblProgress->setObjectName(QStringLiteral("lblProgress"));
    auto *progress = new QVBoxLayout;
    progress->addWidget(m_progressBar);
    progress->addWidget(m_lblProgress);

    // Remembered in the settings: a technician who verifies, verifies
    // every time.
    m_chkVerify = new QCheckBox(QString::fromUtf16(u"ダウンロード後に照合"), this);
    m_chkVerify->setObjectName(QStringLiteral("chkVerify"));
    m_chkVerify->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap006"));
    m_chkVerify->setChecked(SettingLine::read(m_ctx.run.settingsFolder, kVerifyFile) == "1");
    m_chkVerify->setVisible(false);
    connect(m_chkVerify, &QCheckBox::toggled, this, [this](bool on) {
        SettingLine::write(m_ctx.run.settingsFolder, kVerifyFile, on ? "1" : "0");
    });

    m_lstDbg = new LinkLog(m_ctx.run.langIni, this);
    m_lstDbg->setObjectName(QStringLiteral("lstDbg"));
    m_lstDbg->setMinimumHeight(fontMetrics().height() * 10);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(status);
    layout->addLayout(progress);
    layout->addWidget(m_chkVerify);
    layout->addWidget(m_lstDbg, 1);

    connect(m_comboCh, &QComboBox::currentIndexChanged, this, &dlgDown::channelChanged);
    connect(m_cmdTx, &QPushButton::clicked, this, &dlgDown::startDownload);
    connect(m_cmdStop, &QPushButton::clicked, this, &dlgDown::stopDownload);
    connect(m_cmdClose, &QPushButton::clicked, this, &dlgDown::reject);

    // Title and captions from the language file. The status line is named
    // by its caption, the progress bar by the dialog's name, the log by its
    // own key (the dialog's name where the language file has none).
    const clsIniFile &langIni = m_ctx.run.langIni;
    langIni.CaptionChange(this);
    const QString title = langIni.GetINIStr(section(), QStringLiteral("Title001"));
    setWindowTitle(title + QStringLiteral(" - ") + documentCaption);
    m_lblStatus->setAccessibleName(label1->text().remove(u':').remove(u'：').trimmed());
    m_progressBar->setAccessibleName(title);
    const QString logName = langIni.GetINIStr(section(), QStringLiteral("Cap005"));
    m_lstDbg->setAccessibleName(logName.isEmpty() ? title : logName);

    DownloadSession *session = m_session.get();
    connect(session, &DownloadSession::busyChanged, this, &dlgDown::onBusyChanged);
    connect(session, &DownloadSession::progress, this, &dlgDown::onProgress);
    connect(session, &DownloadSession::stateChanged, this, [this](const QString &reply) {
        const QString state = ChannelState::text(reply, m_ctx.run.langIni);
        m_lblStatus->setText(state);
        // Named by its caption, the state is what assistive tools describe.
        m_lblStatus->setAccessibleDescription(state);
    });
    // The progress bar and the log are brought up to date together, at most
    // every kViewInterval while exchanges run and at once when a chain ends:
    // a download answers every few milliseconds, and the list's and the
    // bar's painting cost more than a step's turnaround. While steps go out,
    // the update is made kViewDelay after a request has been written, as
    // the controller takes it in: it then neither delays that request nor
    // stands between the answer and the next one.
    m_viewTimer.setSingleShot(true);
    m_viewTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_viewTimer, &QTimer::timeout, this, &dlgDown::updateView);
    // Before a failure's message is shown, the view catches up, so that
    // the grid marks the step the message names.
    connect(&m_ctx.commands, &CommandSet::errorReplied, this, &dlgDown::updateView);
    connect(&m_ctx.commands, &CommandSet::timedOut, this, &dlgDown::updateView);
    connect(&m_ctx.commands, &CommandSet::downloadCompleted, this, &dlgDown::updateView);
    connect(session, &DownloadSession::logChanged, this, [this] {
        m_logPending = true;
        if (!m_viewTimer.isActive())
            m_viewTimer.start(2 * kViewInterval);
    });
    connect(session, &DownloadSession::finished, this, [this](const LinkSession::Result &result) {
        // A complete download leaves the bar full; any other end empties it.
        if (!result.ok() || !m_session->stepCount())
            m_progressBar->setValue(0);
    });
    // Once per download: the state read after the read-back ends a chain
    // too, and the download is still complete then.
    connect(session, &DownloadSession::downloadFinished, this, [this](const LinkSession::Result &result) {
        if (result.ok() && m_session->completed() && m_programSteps && m_chkVerify->isChecked())
            QTimer::singleShot(0, this, &dlgDown::verify);
    });
}

dlgDown::~dlgDown() = default;

void dlgDown::vFormInitialize()
{
    m_bActive = false;
    m_cmdStop->setEnabled(false);
    LinkDialogParts::fillChannels(m_comboCh, LastChannel::load(m_ctx.run.settingsFolder));
    m_lblStatus->clear();
    m_progressBar->setRange(0, qMax(m_session->stepCount(), 1));
    m_progressBar->setValue(0);
    m_progressPending.clear();
    m_lstDbg->clear();
}

void dlgDown::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_bActive)
        return;
    // Activation once the window is up, after the show has been handled.
    QTimer::singleShot(0, this, &dlgDown::openOnceShown);
}

void dlgDown::openOnceShown()
{
    if (m_bActive || !isVisible())
        return;
    m_bActive = true;
    m_session->open(selectedChannel());
}

int dlgDown::selectedChannel() const
{
    return m_comboCh->currentIndex() + 1;
}

void dlgDown::channelChanged()
{
    const int ch = selectedChannel();
    if (ch < 1 || !m_bActive)
        return;
    LastChannel::save(m_ctx.run.settingsFolder, ch);
    if (!m_session->busy())
        m_session->requestState(ch);
}

void dlgDown::startDownload()
{
    m_progressBar->setRange(0, qMax(m_session->stepCount(), 1));
    m_progressBar->setValue(0);
    m_lblProgress->clear();
    m_progressText.start();
    m_session->start(selectedChannel());
}

void dlgDown::stopDownload()
{
    m_session->stop();
}

void dlgDown::onProgress(int step, int total)
{
    // Told right after the next request was written (see the constructor).
    m_progressPending << step;
    m_progressTotal = total;
    if (!m_sinceView.isValid() || m_sinceView.elapsed() >= kViewInterval.count())
        m_viewTimer.start(kViewDelay);
    else if (!m_viewTimer.isActive())
        m_viewTimer.start(2 * kViewInterval);
}

void dlgDown::updateView()
{
    m_viewTimer.stop();
    m_sinceView.start();
    if (!m_progressPending.isEmpty()) {
        if (m_progressTotal > m_progressBar->maximum())
            m_progressBar->setMaximum(m_progressTotal);
        // Every value reaches the bar in order; it is painted once.
        m_progressBar->setUpdatesEnabled(false);
        for (int step : std::as_const(m_progressPending))
            m_progressBar->setValue(step);
        m_progressBar->setUpdatesEnabled(true);
        const int step = m_progressPending.last();
        m_progressPending.clear();
        if (step > 0) {
            m_lblProgress->setText(m_progressText.text(m_ctx.run.langIni, step, m_progressBar->maximum()));
            // `step` steps are answered: the next one is on its way.
            emit stepShown(qMin(step + 1, m_progressBar->maximum()));
        }
    }
    if (std::exchange(m_logPending, false))
        m_lstDbg->showLog(m_session->log());
}

void dlgDown::onBusyChanged(bool waiting)
{
    // A chain that ends shows all it did before the dialog is unlocked.
    if (!waiting)
        updateView();
    // Stop is enabled before the rest is locked, so that the focus moves
    // from Transmit to Stop; when the dialog is unlocked the focus goes back
    // to where it was, so that keyboard users keep their place.
    if (waiting)
        m_focus.lock(this);
    if (waiting && m_session->downloading())
        m_cmdStop->setEnabled(true);
    m_cmdTx->setEnabled(!waiting);
    m_comboCh->setEnabled(!waiting);
    m_cmdClose->setEnabled(!waiting);
    if (waiting)
        return;
    m_cmdStop->setEnabled(false);
    m_focus.unlock();
}

void dlgDown::reject()
{
    // Refused while an exchange runs: the dialog is locked then, and Stop
    // is the only way out of a download.
    if (m_session->busy() || (m_compare && m_compare->busy()))
        return;
    m_session->close();
    QDialog::reject();
}

void dlgDown::setVerifiable(std::function<QList<ProgStep>()> steps, int axes)
{
    m_programSteps = std::move(steps);
    m_axes = axes;
    m_chkVerify->setVisible(bool(m_programSteps));
}

void dlgDown::verify()
{
    m_verified = false;
    const int channel = selectedChannel();
    const QList<ProgStep> program = m_programSteps();
    // The read-back is a session of its own; the dialog's comes back after
    // it, with the channel's state.
    m_session->close();
    m_compare = std::make_unique<CompareSession>(m_ctx);
    CompareSession *compare = m_compare.get();
    connect(compare, &ChannelJob::busyChanged, this, &dlgDown::onBusyChanged);
    connect(compare, &ChannelJob::finished, this, [this, compare, channel](const LinkSession::Result &r) {
        const clsIniFile &langIni = m_ctx.run.langIni;
        QString note;
        if (!r.ok()) {
            note = langIni.GetINIStr(section(), QStringLiteral("Mes007")) + u' '
                + LinkSession::describe(r, m_ctx.messages);
        } else if (compare->equal()) {
            m_verified = true;
            note = langIni.GetINIStr(section(), QStringLiteral("Mes005"));
        } else {
            note = langIni.GetINIStr(section(), QStringLiteral("Mes006"));
            auto *view = new CompareView(m_ctx.catalogue, langIni, channel, windowTitle().section(u'-', 1).trimmed(),
                                         compare->channelSteps(), compare->program(), this);
            view->setAttribute(Qt::WA_DeleteOnClose);
            view->show();
        }
        m_lblProgress->setText(note);
        QTimer::singleShot(0, this, [this, channel] { m_session->open(channel); });
    });
    compare->start(channel, program, m_axes);
}
