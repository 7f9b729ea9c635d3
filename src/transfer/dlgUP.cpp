#include "dlgUP.h"

#include "link/AppContext.h"
#include "link/ChannelState.h"

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

constexpr int kChannelCount = 15;

QPushButton *makeButton(const QString &caption, const char *name, const char *tag, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setProperty(clsIniFile::kTagProperty, QLatin1String(tag));
    button->setAutoDefault(false);
    return button;
}

} // namespace

dlgUP::dlgUP(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx), m_upload(ctx.catalogue)
{
    setObjectName(section());
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *frameTx = new QFrame(this);
    frameTx->setObjectName(QStringLiteral("frameTx"));
    frameTx->setFrameShape(QFrame::StyledPanel);
    auto *chLabel = new QLabel(QStringLiteral("CH :"), frameTx);
    m_cboCH = new QComboBox(frameTx);
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

    m_cmdUpLoad = makeButton(QString::fromUtf16(u"ｱｯﾌﾟﾛｰﾄﾞ"), "cmdUpLoad", "Cap003", this);
    m_cmdStop = makeButton(QString::fromUtf16(u"中断"), "cmdStop", "Cap002", this);
    m_cmdClose = makeButton(QString::fromUtf16(u"閉じる"), "cmdClose", "Cap001", this);
    m_cmdStop->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdUpLoad);
    buttons->addWidget(m_cmdStop);
    buttons->addWidget(m_cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameTx);
    layout->addLayout(status);
    layout->addWidget(m_progressBar);
    layout->addLayout(buttons);

    connect(m_cboCH, &QComboBox::currentIndexChanged, this, &dlgUP::cboCH_Click);
    connect(m_cmdUpLoad, &QPushButton::clicked, this, &dlgUP::cmdUpLoad_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &dlgUP::cmdStop_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &dlgUP::close);
}

dlgUP::~dlgUP()
{
    if (m_loaded)
        unload();
}

void dlgUP::InitUpLoad()
{
    m_ctx.link.resetLink();
    m_bActive = false;
    m_iPendingCh = 0;
}

void dlgUP::ShowDialog()
{
    m_ctx.link.stopTimers();
    const clsIniFile &langIni = m_ctx.run.langIni;
    setWindowTitle(langIni.GetINIStr(section(), QStringLiteral("Title001")));
    langIni.CaptionChange(this);
    m_lblStatus->setAccessibleName(m_label1->text());
    m_progressBar->setAccessibleName(windowTitle());

    {
        const QSignalBlocker quiet(m_cboCH);
        m_cboCH->clear();
        for (int ch = 1; ch <= kChannelCount; ++ch)
            m_cboCH->addItem(QString::number(ch).rightJustified(2, u'0'));
        m_cboCH->setCurrentIndex(0);
    }
    m_cboCH->setVisible(true);
    cboCH_Click(0);

    m_completed = false;
    m_loaded = true;
    m_ctx.link.bUpOpen = true;
    m_ctx.commands.setUpView(this);
    adjustSize();
    exec();
}

void dlgUP::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Activation runs once the window is up, also where no window manager
    // activates it (the offscreen platform).
    if (!m_bActive)
        QTimer::singleShot(0, this, &dlgUP::Form_Activate);
}

void dlgUP::Form_Activate()
{
    if (!m_loaded)
        return;
    m_bActive = true;
    if (m_iPendingCh != 0) {
        const int ch = m_iPendingCh;
        m_iPendingCh = 0;
        requestStatus(ch);
    }
}

void dlgUP::cboCH_Click(int index)
{
    if (index < 0)
        return;
    if (m_bActive)
        requestStatus(index + 1);
    else
        m_iPendingCh = index + 1;
}

void dlgUP::requestStatus(int ch)
{
    SetEnabled(true);
    m_cmdStop->setEnabled(false);
    m_ctx.commands.reqChInfUp(ch);
}

int dlgUP::selectedChannel() const
{
    return m_cboCH->currentIndex() + 1;
}

void dlgUP::cmdUpLoad_Click()
{
    m_upload.initUpload(m_ctx.run.axisNum);
    m_completed = false;
    // The dialog is busy before the request goes out: a port that fails
    // while sending makes it idle again at once, and that must stand. The
    // channel list is locked too, since a status request would end the
    // wait for lines.
    SetEnabled(true);
    if (m_iStatusCount > 0)
        m_progressBar->setMaximum(m_iStatusCount);
    m_progressBar->setValue(0);
    m_ctx.commands.reqUpload(selectedChannel());
}

void dlgUP::cmdStop_Click()
{
    m_ctx.commands.endExchange();
    m_ctx.commands.sendUploadNg();
    // Idle at once: the answer to NG may never come, and nothing waits for it.
    SetEnabled(false);
    m_ctx.messages.showKey(QStringLiteral("Mes001"), MsgKind::Information);
}

void dlgUP::DispStatus(const QString &reply)
{
    m_lblStatus->setText(ChannelState::text(reply, m_ctx.run.langIni));
    m_iStatusCount = ChannelState::count(reply);
}

void dlgUP::SetEnabled(bool running)
{
    m_cmdUpLoad->setEnabled(!running);
    m_cmdClose->setEnabled(!running);
    m_cmdStop->setEnabled(running);
    m_cboCH->setEnabled(!running);
    if (!running)
        m_progressBar->setValue(0);
}

void dlgUP::Plus1Progress()
{
    // More lines than announced: the bar grows with them, full from then on.
    const int value = m_progressBar->value() + 1;
    if (value > m_progressBar->maximum())
        m_progressBar->setMaximum(value);
    m_progressBar->setValue(value);
}

bool dlgUP::bTakeUploadLine(const QByteArray &line)
{
    return m_upload.bTakeUploadLine(line);
}

void dlgUP::uploadFinished()
{
    m_completed = true;
    accept();
}

QList<ProgStep> dlgUP::uploadedSteps() const
{
    return m_completed ? m_upload.finishUpload() : QList<ProgStep>();
}

void dlgUP::done(int result)
{
    if (m_loaded)
        unload();
    QDialog::done(result);
}

void dlgUP::unload()
{
    // Ended while the dialog is still the command set's upload view, so the
    // upload's waiting flags are cleared with the rest: lines read so far
    // are dropped and nothing stays awaited.
    m_ctx.commands.endExchange();
    m_ctx.link.bUpOpen = false;
    m_ctx.commands.setUpView(nullptr);
    m_loaded = false;
}
