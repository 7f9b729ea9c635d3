#include "dlgUP.h"

#include "LinkDialogParts.h"
#include "LinkLog.h"

#include "link/AppContext.h"
#include "link/ChannelState.h"
#include "link/LastChannel.h"
#include "link/UploadSession.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString section() { return QStringLiteral("dlgUP"); }

} // namespace

dlgUP::dlgUP(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_session(std::make_unique<UploadSession>(ctx))
{
    setObjectName(section());
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *frameTx = new QFrame(this);
    frameTx->setObjectName(QStringLiteral("frameTx"));
    frameTx->setFrameShape(QFrame::StyledPanel);
    auto *chLabel = new QLabel(QStringLiteral("CH :"), frameTx);
    m_cboCH = new QComboBox(frameTx);
    m_focus.setChannels(m_cboCH);
    m_cboCH->setObjectName(QStringLiteral("cboCH"));
    chLabel->setBuddy(m_cboCH);
    auto *channel = new QHBoxLayout(frameTx);
    channel->addWidget(chLabel);
    channel->addWidget(m_cboCH);
    channel->addStretch();

    m_label1 = new QLabel(QString::fromUtf16(u"状態 :"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap004"));
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setMinimumWidth(200);
    m_label1->setBuddy(m_lblStatus);
    auto *status = new QHBoxLayout;
    status->addWidget(m_label1);
    status->addWidget(m_lblStatus, 1);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false); // the numbers stand below it
    m_lblProgress = new QLabel(this);
    m_lblProgress->setObjectName(QStringLiteral("lblProgress"));
    auto *progress = new QVBoxLayout;
    progress->addWidget(m_progressBar);
    progress->addWidget(m_lblProgress);

    m_cmdUpLoad = LinkDialogParts::button(QString::fromUtf16(u"ｱｯﾌﾟﾛｰﾄﾞ"), "cmdUpLoad", "Cap003", this);
    m_cmdStop = LinkDialogParts::button(QString::fromUtf16(u"中断"), "cmdStop", "Cap002", this);
    m_cmdClose = LinkDialogParts::button(QString::fromUtf16(u"閉じる"), "cmdClose", "Cap001", this);
    m_cmdStop->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdUpLoad);
    buttons->addWidget(m_cmdStop);
    buttons->addWidget(m_cmdClose);

    m_log = new LinkLog(m_ctx.run.langIni, this);
    m_log->setObjectName(QStringLiteral("lstLog"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameTx);
    layout->addLayout(status);
    layout->addLayout(progress);
    layout->addLayout(buttons);
    layout->addWidget(m_log, 1);

    connect(m_cboCH, &QComboBox::currentIndexChanged, this, &dlgUP::rememberChannel);
    connect(m_cmdUpLoad, &QPushButton::clicked, this, [this] {
        m_completed = false;
        m_progressBar->setValue(0);
        m_lblProgress->clear();
        m_progressText.start();
        m_session->start(selectedChannel());
    });
    connect(m_cmdStop, &QPushButton::clicked, this, [this] { m_session->stop(); });
    connect(m_cmdClose, &QPushButton::clicked, this, &dlgUP::close);

    UploadSession *session = m_session.get();
    connect(session, &UploadSession::busyChanged, this, &dlgUP::onBusyChanged);
    // Brought up to date once per turn of the event loop, not per line.
    connect(session, &UploadSession::logChanged, this,
            [this] { QTimer::singleShot(0, this, [this] { m_log->showLog(m_session->log()); }); });
    connect(session, &UploadSession::stateChanged, this, [this](const QString &reply) {
        const QString state = ChannelState::text(reply, m_ctx.run.langIni);
        m_lblStatus->setText(state);
        // Named by its caption, the state is what assistive tools describe.
        m_lblStatus->setAccessibleDescription(state);
    });
    connect(session, &UploadSession::progress, this, [this](int lines, int total) {
        // More lines than announced: the bar grows with them.
        m_progressBar->setMaximum(qMax(total, 1));
        m_progressBar->setValue(lines);
        m_lblProgress->setText(m_progressText.text(m_ctx.run.langIni, lines, qMax(total, lines)));
    });
    connect(session, &UploadSession::finished, this, [this] {
        // A program read whole closes the dialog; the caller makes it a
        // document.
        if (m_session->hasProgram()) {
            m_completed = true;
            accept();
        }
    });
}

dlgUP::~dlgUP() = default;

void dlgUP::InitUpLoad()
{
    m_bActive = false;
}

int dlgUP::statusCount() const
{
    return m_session->statusCount();
}

void dlgUP::ShowDialog()
{
    const clsIniFile &langIni = m_ctx.run.langIni;
    setWindowTitle(langIni.GetINIStr(section(), QStringLiteral("Title001")));
    langIni.CaptionChange(this);
    // The caption names the state (without its colon), as in the other
    // link dialogs; the caption itself is only its label.
    m_lblStatus->setAccessibleName(m_label1->text().remove(u':').remove(u'：').trimmed());
    m_progressBar->setAccessibleName(windowTitle());
    m_log->setAccessibleName(langIni.GetINIStr(QStringLiteral("LinkLog"), QStringLiteral("Cap004")));
    m_log->clear();
    LinkDialogParts::fillChannels(m_cboCH, LastChannel::load(m_ctx.run.settingsFolder));
    m_cboCH->setVisible(true);
    m_completed = false;
    adjustSize();
    exec();
}

void dlgUP::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Activation runs once the window is up, also where no window manager
    // activates it (the offscreen platform).
    if (!m_bActive)
        QTimer::singleShot(0, this, &dlgUP::openOnceShown);
}

void dlgUP::openOnceShown()
{
    if (m_bActive || !isVisible())
        return;
    m_bActive = true;
    m_session->open(selectedChannel());
}

void dlgUP::rememberChannel(int index)
{
    if (index < 0 || !m_bActive)
        return;
    LastChannel::save(m_ctx.run.settingsFolder, index + 1);
    if (!m_session->busy())
        m_session->requestState(index + 1);
}

int dlgUP::selectedChannel() const
{
    return m_cboCH->currentIndex() + 1;
}

void dlgUP::onBusyChanged(bool running)
{
    if (running)
        m_focus.lock(this);
    // Stop first, so that the focus can move to it from Upload.
    m_cmdStop->setEnabled(running && m_session->uploading());
    m_cmdUpLoad->setEnabled(!running);
    m_cmdClose->setEnabled(!running);
    m_cboCH->setEnabled(!running);
    if (running)
        return;
    m_focus.unlock();
    m_log->showLog(m_session->log());
    if (!m_session->hasProgram())
        m_progressBar->setValue(0);
}

void dlgUP::done(int result)
{
    m_session->close();
    QDialog::done(result);
}
