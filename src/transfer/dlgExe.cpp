#include "dlgExe.h"

#include "link/AppContext.h"
#include "link/ChannelState.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString section() { return QStringLiteral("dlgExe"); }

QPushButton *makeButton(const QString &caption, const char *name, const char *tag, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setProperty(clsIniFile::kTagProperty, QLatin1String(tag));
    return button;
}

} // namespace

dlgExe::dlgExe(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(section());
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *frameTx = new QGroupBox(QStringLiteral("CH"), this);
    frameTx->setObjectName(QStringLiteral("frameTx"));
    auto *lblCh = new QLabel(QStringLiteral("CH :"), frameTx);
    m_comboCh = new QComboBox(frameTx);
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

    m_cmdStart = makeButton(QString::fromUtf16(u"実行"), "cmdStart", "Cap003", this);
    m_cmdStop = makeButton(QString::fromUtf16(u"停止"), "cmdStop", "Cap002", this);
    m_cmdClose = makeButton(QString::fromUtf16(u"閉じる"), "cmdClose", "Cap001", this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdStart);
    buttons->addWidget(m_cmdStop);
    buttons->addStretch();
    buttons->addWidget(m_cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameTx);
    layout->addLayout(status);
    layout->addLayout(buttons);

    connect(m_comboCh, &QComboBox::currentIndexChanged, this, &dlgExe::comboCh_Click);
    connect(m_cmdStart, &QPushButton::clicked, this, &dlgExe::cmdStart_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &dlgExe::cmdStop_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &dlgExe::reject);

    // Title and captions from the language file; the status line is named
    // by its caption for assistive tools.
    const clsIniFile &langIni = m_ctx.run.langIni;
    langIni.CaptionChange(this);
    setWindowTitle(langIni.GetINIStr(section(), QStringLiteral("Title001")));
    m_lblStatus->setAccessibleName(label1->text().remove(u':').remove(u'：').trimmed());
}

dlgExe::~dlgExe()
{
    // Destroyed while still open: the command set must not call back into
    // a dialog that is gone, nor keep waiting for it.
    if (m_loaded) {
        Form_Unload();
        m_ctx.commands.endExchange();
    }
}

void dlgExe::vFormInitialize()
{
    m_ctx.link.resetLink();
    m_bActive = false;
    m_iPendingCh = 0;
}

void dlgExe::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_loaded)
        return;
    Form_Load();
    // Activation once the window is up, after the show has been handled.
    QTimer::singleShot(0, this, &dlgExe::Form_Activate);
}

void dlgExe::Form_Load()
{
    m_ctx.link.stopTimers();
    m_loaded = true;
    m_ctx.commands.setExeView(this);
    {
        const QSignalBlocker quiet(m_comboCh);
        m_comboCh->clear();
        for (int ch = 1; ch <= 15; ++ch)
            m_comboCh->addItem(QStringLiteral("%1").arg(ch, 2, 10, QLatin1Char('0')));
        m_comboCh->setCurrentIndex(0);
    }
    m_comboCh->setEnabled(true);
    comboCh_Click();
    dispChInf(QString());
}

void dlgExe::Form_Activate()
{
    if (!m_loaded || !isVisible())
        return;
    m_bActive = true;
    if (m_iPendingCh != 0) {
        const int ch = m_iPendingCh;
        m_iPendingCh = 0;
        m_ctx.commands.reqChInfExe(ch);
    }
}

void dlgExe::Form_Unload()
{
    m_loaded = false;
    m_ctx.commands.setExeView(nullptr);
}

int dlgExe::selectedChannel() const
{
    return m_comboCh->currentIndex() + 1;
}

void dlgExe::comboCh_Click()
{
    const int ch = selectedChannel();
    if (ch < 1)
        return;
    if (m_bActive && m_loaded)
        m_ctx.commands.reqChInfExe(ch);
    else
        m_iPendingCh = ch;
}

void dlgExe::cmdStart_Click()
{
    SetStartMode(true);
    SetStopMode(false);
    m_ctx.commands.reqLoad(99);
}

void dlgExe::cmdStop_Click()
{
    SetStartMode(false);
    SetStopMode(true);
    m_ctx.commands.reqLoad(99);
}

void dlgExe::dispChInf(const QString &reply)
{
    const QString state = ChannelState::text(reply, m_ctx.run.langIni);
    m_lblStatus->setText(state);
    // Named by its caption, the state is what assistive tools describe.
    m_lblStatus->setAccessibleDescription(state);
}

void dlgExe::comWait(bool waiting)
{
    // Disabling the focused control leaves the focus nowhere; it goes back
    // there when the dialog is unlocked, so that keyboard users keep their
    // place.
    if (waiting && !m_focusBeforeWait)
        m_focusBeforeWait = focusWidget();
    m_cmdStart->setEnabled(!waiting);
    m_cmdStop->setEnabled(!waiting);
    m_cmdClose->setEnabled(!waiting);
    m_comboCh->setEnabled(!waiting);
    if (!waiting) {
        if (m_focusBeforeWait && !focusWidget())
            m_focusBeforeWait->setFocus();
        m_focusBeforeWait.clear();
    }
}

void dlgExe::reject()
{
    // Refused while an answer is awaited: the dialog is locked then.
    if (!m_cmdClose->isEnabledTo(this))
        return;
    m_ctx.commands.endExchange();
    Form_Unload();
    QDialog::reject();
}
