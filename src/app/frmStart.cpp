#include "frmStart.h"

#include "link/AppContext.h"
#include "config/ControllerType.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QString section() { return QStringLiteral("frmStart"); }
}

frmStart::frmStart(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(section());
    // A fixed dialog: a title, no buttons in its frame (closing it from the
    // frame is refused anyway), no minimising or maximising.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    auto *options = new QVBoxLayout(m_frame1);
    const char16_t *stored[3] = {u"１軸コントローラ", u"２軸コントローラ", u"３軸コントローラ"};
    for (int i = 0; i < 3; ++i) {
        auto *opt = new QRadioButton(QString::fromUtf16(stored[i]), m_frame1);
        opt->setObjectName(QStringLiteral("optType%1").arg(i));
        opt->setProperty(clsIniFile::kTagProperty, clsIniFile::numberedKey(u"Caption", i + 3));
        options->addWidget(opt);
        m_optType[i] = opt;
    }

    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setProperty(clsIniFile::kTagProperty, QStringLiteral("Caption001"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = new QPushButton(QString::fromUtf16(u"キャンセル"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setProperty(clsIniFile::kTagProperty, QStringLiteral("Caption002"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_frame1);
    layout->addLayout(buttons);

    connect(m_cmdOK, &QPushButton::clicked, this, &frmStart::confirmChoice);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmStart::askToQuit);

    // Captions and title from the language file.
    m_ctx.run.langIni.CaptionChange(this);
    setWindowTitle(m_ctx.run.langIni.GetINIStr(section(), QStringLiteral("Caption000")));
    m_frame1->setAccessibleName(windowTitle());

    // Centred on the screen.
    adjustSize();
    setMinimumWidth(qMax(width(), 280));
    adjustSize();
    setFixedSize(size());
    if (QScreen *s = screen()) {
        const QRect g = s->geometry();
        move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
    }

    const int type = readControllerType();
    m_optType[type - 1]->setChecked(true);
    m_optType[type - 1]->setFocus();
}

int frmStart::selectedType() const
{
    for (int i = 0; i < 3; ++i) {
        if (m_optType[i]->isChecked())
            return i + 1;
    }
    return 1;
}

int frmStart::readControllerType() const
{
    return ControllerType::readControllerType(m_ctx.run.typCfgPath());
}

void frmStart::writeControllerType(int type) const
{
    // A folder without write access must not stop the start: the choice is
    // then only not remembered.
    ControllerType::writeControllerType(m_ctx.run.typCfgPath(), type);
}

void frmStart::confirmChoice()
{
    const int type = selectedType();
    m_ctx.setControllerType(type);
    writeControllerType(type);
    m_closingFromProgram = true;
    close();
    emit confirmed(type);
}

void frmStart::askToQuit()
{
    const QString question = m_ctx.run.langIni.GetINIStr(section(), QStringLiteral("Mes001"));
    if (m_ctx.messages.show(MsgKind::Question, MsgButtons::YesNo, question) == MsgAnswer::Yes)
        emit quitRequested();
}

void frmStart::closeEvent(QCloseEvent *event)
{
    // Only the program closes the dialog (after OK); the window frame can't.
    if (m_closingFromProgram)
        event->accept();
    else
        event->ignore();
}

void frmStart::reject()
{
    // Escape would close the dialog like the frame's close box: refused.
}
