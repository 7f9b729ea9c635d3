#include "dlgExe.h"

#include "LinkDialogParts.h"
#include "LinkLog.h"

#include "link/AppContext.h"
#include "link/ChannelState.h"
#include "link/LastChannel.h"
#include "link/RunControlSession.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

QString section() { return QStringLiteral("dlgExe"); }

} // namespace

dlgExe::dlgExe(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_session(std::make_unique<RunControlSession>(ctx))
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

    auto *label1 = new QLabel(QString::fromUtf16(u"状態 :"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap004"));
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setFrameShape(QFrame::Panel);
    m_lblStatus->setFrameShadow(QFrame::Sunken);
    m_lblStatus->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    m_lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label1->setBuddy(m_lblStatus);
    auto *status = new QHBoxLayout;
    status->addWidget(label1);
    status->addWidget(m_lblStatus, 1);

    m_cmdStart = LinkDialogParts::button(QString::fromUtf16(u"実行"), "cmdStart", "Cap003", this);
    m_cmdStop = LinkDialogParts::button(QString::fromUtf16(u"停止"), "cmdStop", "Cap002", this);
    m_cmdClose = LinkDialogParts::button(QString::fromUtf16(u"閉じる"), "cmdClose", "Cap001", this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdStart);
    buttons->addWidget(m_cmdStop);
    buttons->addStretch();
    buttons->addWidget(m_cmdClose);

    // The last run or stop, in plain words, and the traffic.
    m_lblResult = new QLabel(this);
    m_lblResult->setObjectName(QStringLiteral("lblResult"));
    m_lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_log = new LinkLog(m_ctx.run.langIni, this);
    m_log->setObjectName(QStringLiteral("lstLog"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameTx);
    layout->addLayout(status);
    layout->addLayout(buttons);
    layout->addWidget(m_lblResult);
    layout->addWidget(m_log, 1);

    connect(m_comboCh, &QComboBox::currentIndexChanged, this, &dlgExe::channelChanged);
    connect(m_cmdStart, &QPushButton::clicked, this, [this] { m_session->run(selectedChannel()); });
    connect(m_cmdStop, &QPushButton::clicked, this, [this] { m_session->stop(selectedChannel()); });
    connect(m_cmdClose, &QPushButton::clicked, this, &dlgExe::reject);

    // Title and captions from the language file; the status line is named
    // by its caption for assistive tools.
    const clsIniFile &langIni = m_ctx.run.langIni;
    langIni.CaptionChange(this);
    setWindowTitle(langIni.GetINIStr(section(), QStringLiteral("Title001")));
    m_lblStatus->setAccessibleName(label1->text().remove(u':').remove(u'：').trimmed());

    m_log->setAccessibleName(langIni.GetINIStr(QStringLiteral("LinkLog"), QStringLiteral("Cap004")));
    m_lblResult->setAccessibleName(windowTitle());
    connect(m_session.get(), &RunControlSession::busyChanged, this, &dlgExe::onBusyChanged);
    connect(m_session.get(), &RunControlSession::logChanged, this,
            [this] { QTimer::singleShot(0, this, [this] { m_log->showLog(m_session->log()); }); });
    connect(m_session.get(), &RunControlSession::controlled, this, [this](const QString &text) {
        m_lblResult->setText(text);
        m_stateAfter = true;
    });
    connect(m_session.get(), &RunControlSession::stateChanged, this, [this](const QString &reply) {
        const QString state = ChannelState::text(reply, m_ctx.run.langIni);
        m_lblStatus->setText(state);
        // Named by its caption, the state is what assistive tools describe.
        m_lblStatus->setAccessibleDescription(state);
    });
}

dlgExe::~dlgExe() = default;

void dlgExe::vFormInitialize()
{
    m_bActive = false;
    LinkDialogParts::fillChannels(m_comboCh, LastChannel::load(m_ctx.run.settingsFolder));
    m_comboCh->setEnabled(true);
    m_lblStatus->clear();
    m_lblResult->clear();
    m_log->clear();
}

void dlgExe::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_bActive)
        return;
    // Activation once the window is up, after the show has been handled.
    QTimer::singleShot(0, this, &dlgExe::openOnceShown);
}

void dlgExe::openOnceShown()
{
    if (m_bActive || !isVisible())
        return;
    m_bActive = true;
    m_session->open(selectedChannel());
}

int dlgExe::selectedChannel() const
{
    return m_comboCh->currentIndex() + 1;
}

void dlgExe::channelChanged()
{
    const int ch = selectedChannel();
    if (ch < 1 || !m_bActive)
        return;
    LastChannel::save(m_ctx.run.settingsFolder, ch);
    if (!m_session->busy())
        m_session->requestState(ch);
}

void dlgExe::onBusyChanged(bool waiting)
{
    if (waiting)
        m_focus.lock(this);
    m_cmdStart->setEnabled(!waiting);
    m_cmdStop->setEnabled(!waiting);
    m_cmdClose->setEnabled(!waiting);
    m_comboCh->setEnabled(!waiting);
    if (waiting)
        return;
    m_focus.unlock();
    m_log->showLog(m_session->log());
    // After a run or stop, the state as the controller now reports it.
    if (std::exchange(m_stateAfter, false))
        QTimer::singleShot(0, this, [this] {
            if (!m_session->busy())
                m_session->requestState(selectedChannel());
        });
}

void dlgExe::reject()
{
    // Refused while an answer is awaited: the dialog is locked then.
    if (m_session->busy())
        return;
    m_session->close();
    QDialog::reject();
}
