#include "dlgDown.h"

#include "link/AppContext.h"
#include "link/ChannelState.h"

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

namespace {

QString section() { return QStringLiteral("dlgDown"); }

QPushButton *makeButton(const QString &caption, const char *name, const char *tag, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setProperty(clsIniFile::kTagProperty, QLatin1String(tag));
    return button;
}

} // namespace

dlgDown::dlgDown(AppContext &ctx, const QString &documentCaption, int stepCount, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_stepCount(stepCount)
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

    m_cmdTx = makeButton(QString::fromUtf16(u"ﾀﾞｳﾝﾛｰﾄﾞ"), "cmdTx", "Cap003", this);
    m_cmdStop = makeButton(QString::fromUtf16(u"中断"), "cmdStop", "Cap002", this);
    m_cmdClose = makeButton(QString::fromUtf16(u"閉じる"), "cmdClose", "Cap001", this);
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

    // The log is read, not worked in: out of the Tab chain, on the
    // button-face colour.
    m_lstDbg = new QListWidget(this);
    m_lstDbg->setObjectName(QStringLiteral("lstDbg"));
    m_lstDbg->setFocusPolicy(Qt::ClickFocus);
    m_lstDbg->setSelectionMode(QAbstractItemView::SingleSelection);
    QPalette face = m_lstDbg->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    m_lstDbg->setPalette(face);
    m_lstDbg->setMinimumSize(fontMetrics().averageCharWidth() * 48, fontMetrics().height() * 10);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(status);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_lstDbg, 1);

    connect(m_comboCh, &QComboBox::currentIndexChanged, this, &dlgDown::comboCh_Click);
    connect(m_cmdTx, &QPushButton::clicked, this, &dlgDown::cmdTx_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &dlgDown::cmdStop_Click);
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
}

dlgDown::~dlgDown()
{
    // Destroyed while still open: the command set must not call back into
    // a dialog that is gone, nor keep waiting for it.
    if (m_loaded) {
        Form_Unload();
        m_ctx.commands.endExchange();
    }
}

void dlgDown::vFormInitialize()
{
    m_ctx.link.resetLink();
    m_bActive = false;
    m_iPendingCh = 0;
}

void dlgDown::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_loaded)
        return;
    Form_Load();
    // Activation once the window is up, after the show has been handled.
    QTimer::singleShot(0, this, &dlgDown::Form_Activate);
}

void dlgDown::Form_Load()
{
    m_ctx.link.stopTimers();
    m_loaded = true;
    m_ctx.commands.setDownView(this);
    m_cmdStop->setEnabled(false);
    {
        const QSignalBlocker quiet(m_comboCh);
        m_comboCh->clear();
        for (int ch = 1; ch <= 15; ++ch)
            m_comboCh->addItem(QStringLiteral("%1").arg(ch, 2, 10, QLatin1Char('0')));
        m_comboCh->setCurrentIndex(0);
    }
    m_comboCh->setEnabled(true);
    m_cmdTx->setEnabled(true);
    m_cmdClose->setEnabled(true);
    dispChInf(QString());
    m_progressBar->setRange(0, qMax(m_stepCount, 1));
    m_progressBar->setValue(0);

    // A new log; from here on the link's traffic goes into it.
    m_log = TrafficLog();
    m_lstDbg->clear();
    m_traffic = connect(&m_ctx.link, &SerialLink::traffic, this,
                        [this](const QByteArray &text, bool received) {
                            if (m_ctx.link.bDownOpen)
                                putMsg(text, received);
                        });
    m_ctx.link.bDownOpen = true;
    m_ctx.link.setCrLfState(SerialLink::Armed);
    comboCh_Click();
}

void dlgDown::Form_Activate()
{
    if (!m_loaded || !isVisible())
        return;
    m_bActive = true;
    if (m_iPendingCh != 0) {
        const int ch = m_iPendingCh;
        m_iPendingCh = 0;
        m_ctx.commands.reqChInfDown(ch);
    }
}

void dlgDown::Form_Unload()
{
    m_loaded = false;
    m_ctx.link.bDownOpen = false;
    disconnect(m_traffic);
    m_ctx.commands.setDownView(nullptr);
}

int dlgDown::selectedChannel() const
{
    return m_comboCh->currentIndex() + 1;
}

void dlgDown::comboCh_Click()
{
    const int ch = selectedChannel();
    if (ch < 1)
        return;
    if (m_bActive && m_loaded)
        m_ctx.commands.reqChInfDown(ch);
    else
        m_iPendingCh = ch;
}

void dlgDown::cmdTx_Click()
{
    // The run control dialog is closed, so the command set takes the
    // LOAD's answer as the start of a download.
    m_ctx.commands.reqLoad(selectedChannel());
}

void dlgDown::cmdStop_Click()
{
    // Ended first, so that nothing arriving while the message is open can
    // continue the download; the steps already sent stay sent.
    m_ctx.commands.endExchange();
    m_ctx.messages.showMessage(5);
    comWait(false, 2);
}

void dlgDown::putMsg(const QByteArray &text, bool received)
{
    m_log.putMsg(text, received);
    // Only the last line of the list can have grown; new ones are added.
    const QStringList &lines = m_log.lines();
    for (int row = qMax(0, m_lstDbg->count() - 1); row < lines.size(); ++row) {
        if (row < m_lstDbg->count())
            m_lstDbg->item(row)->setText(lines[row]);
        else
            m_lstDbg->addItem(lines[row]);
    }
    // The end of the log in view, nothing selected.
    m_lstDbg->setCurrentRow(m_lstDbg->count() - 1);
    m_lstDbg->clearSelection();
    m_lstDbg->scrollToBottom();
}

void dlgDown::dispChInf(const QString &reply)
{
    const QString state = ChannelState::text(reply, m_ctx.run.langIni);
    m_lblStatus->setText(state);
    // Named by its caption, the state is what assistive tools describe.
    m_lblStatus->setAccessibleDescription(state);
}

void dlgDown::comWait(bool waiting, int mode)
{
    // Stop is enabled before the rest is locked, so that the focus moves
    // from Transmit to Stop; when the dialog is unlocked the focus goes back
    // to where it was, so that keyboard users keep their place.
    if (waiting && !m_focusBeforeWait)
        m_focusBeforeWait = focusWidget();
    const bool refocus = !waiting && (!focusWidget() || focusWidget() == m_cmdStop);
    if (mode != 1 && waiting)
        m_cmdStop->setEnabled(true);
    m_cmdTx->setEnabled(!waiting);
    m_comboCh->setEnabled(!waiting);
    m_cmdClose->setEnabled(!waiting);
    if (waiting)
        return;
    if (mode != 1)
        m_cmdStop->setEnabled(false);
    m_progressBar->setValue(0);
    if (refocus && m_focusBeforeWait && m_focusBeforeWait->isEnabled())
        m_focusBeforeWait->setFocus();
    m_focusBeforeWait.clear();
}

void dlgDown::setProgressbar(int value)
{
    m_progressBar->setValue(value);
}

void dlgDown::reject()
{
    // Refused while an exchange runs: the dialog is locked then, and Stop
    // is the only way out of a download.
    if (!m_cmdClose->isEnabledTo(this))
        return;
    m_ctx.link.bDownOpen = false;
    m_ctx.commands.endExchange();
    Form_Unload();
    QDialog::reject();
}
