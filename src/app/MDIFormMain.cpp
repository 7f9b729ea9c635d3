#include "MDIFormMain.h"

#include "AppContext.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

namespace {
QString section() { return QStringLiteral("MDIFormMain"); }
QString u16(const char16_t *s) { return QString::fromUtf16(s); }
}

MDIFormMain::MDIFormMain(AppContext &ctx, QWidget *parent)
    : QMainWindow(parent), m_ctx(ctx)
{
    setObjectName(section());
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(status);

    buildMenus();

    // The parameter editor's item and the separator above it stay hidden for
    // the whole run.
    item(QStringLiteral("mnuLine2"))->setVisible(false);
    item(QStringLiteral("mnuFilePara"))->setVisible(false);
}

QMenu *MDIFormMain::addMenu(const QString &name, const QString &stored, const QString &tag)
{
    QMenu *menu = menuBar()->addMenu(stored);
    menu->setObjectName(name);
    menu->setProperty("tag", tag);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction *MDIFormMain::addItem(QMenu *menu, const QString &name, const QString &stored,
                              const QString &tag, const QKeySequence &shortcut)
{
    auto *action = new QAction(stored, this);
    action->setObjectName(name);
    action->setProperty("tag", tag);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    menu->addAction(action);
    return action;
}

QAction *MDIFormMain::addSeparator(QMenu *menu, const QString &name)
{
    auto *action = new QAction(this);
    action->setObjectName(name);
    action->setSeparator(true);
    menu->addAction(action);
    return action;
}

void MDIFormMain::buildMenus()
{
    QMenu *file = addMenu(QStringLiteral("mnuFile"), u16(u"ﾌｧｲﾙ(&F)"), QStringLiteral("Cap011"));
    addItem(file, QStringLiteral("mnuFileNew"), u16(u"新規作成(&N)..."), QStringLiteral("Cap014"),
            QKeySequence(Qt::CTRL | Qt::Key_N));
    addItem(file, QStringLiteral("mnuFileOpen"), u16(u"開く(&O)..."), QStringLiteral("Cap015"),
            QKeySequence(Qt::CTRL | Qt::Key_O));
    addItem(file, QStringLiteral("mnuFileClose"), u16(u"閉じる(&C)"), QStringLiteral("Cap012"));
    addSeparator(file, QStringLiteral("mnuLine1"));
    addItem(file, QStringLiteral("mnuFileSave"), u16(u"上書き保存(&S)"), QStringLiteral("Cap017"),
            QKeySequence(Qt::CTRL | Qt::Key_S));
    addItem(file, QStringLiteral("mnuFileSaveAs"), u16(u"名前を付けて保存(&A)..."),
            QStringLiteral("Cap018"));
    addSeparator(file, QStringLiteral("mnuLine2"));
    addItem(file, QStringLiteral("mnuFilePara"), u16(u"ﾊﾟﾗﾒｰﾀ設定..."), QStringLiteral("Cap016"));
    addSeparator(file, QStringLiteral("mnuLine3"));
    QAction *exit = addItem(file, QStringLiteral("mnuFileEnd"), u16(u"終了(&X)"),
                            QStringLiteral("Cap013"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *edit = addMenu(QStringLiteral("mnuEdit"), u16(u"編集(&E)"), QStringLiteral("Cap010"));
    addItem(edit, QStringLiteral("mnuCut"), u16(u"削除(&D)"), QStringLiteral("Cap007"),
            QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    addItem(edit, QStringLiteral("mnuInsert"), u16(u"挿入(&I)"), QStringLiteral("Cap019"),
            QKeySequence(Qt::SHIFT | Qt::Key_Insert));

    QMenu *view = addMenu(QStringLiteral("mnuDisp"), u16(u"表示(&V)"), QStringLiteral("Cap008"));
    QAction *dispCmd = addItem(view, QStringLiteral("mnuDispCmd"), u16(u"コマンド表(&M)"),
                               QStringLiteral("Cap009"));
    dispCmd->setCheckable(true);

    QMenu *comm = addMenu(QStringLiteral("mnuComm"), u16(u"通信(&C)"), QStringLiteral("Cap002"));
    addItem(comm, QStringLiteral("mnuComParam"), u16(u"通信設定..."), QStringLiteral("Cap004"));
    addSeparator(comm, QStringLiteral("Commsepa1"));
    addItem(comm, QStringLiteral("mnuComTx"), u16(u"ﾀﾞｳﾝﾛｰﾄﾞ..."), QStringLiteral("Cap005"));
    addItem(comm, QStringLiteral("mnuComUL"), u16(u"ｱｯﾌﾟﾛｰﾄﾞ..."), QStringLiteral("Cap006"));
    addItem(comm, QStringLiteral("mnuComExe"), u16(u"ｺﾝﾄﾛｰﾗ制御..."), QStringLiteral("Cap001"));
    addSeparator(comm, QStringLiteral("Commsepa2"));
    addItem(comm, QStringLiteral("mnuCommChk"), u16(u"通信確認..."), QStringLiteral("Cap003"));
}

QAction *MDIFormMain::item(const QString &name) const
{
    if (auto *menu = findChild<QMenu *>(name))
        return menu->menuAction();
    return findChild<QAction *>(name, Qt::FindDirectChildrenOnly);
}

void MDIFormMain::ShowMainDialog()
{
    m_ctx.run.langIni.CaptionChange(this);
    setWindowTitle(m_ctx.run.langIni.GetINIStr(section(), QStringLiteral("Title001")));
    m_nextDocNo = 1;

    m_ctx.catalogue.buildCatalogue(m_ctx.run.langIni);
    m_ctx.catalogue.buildParamRanges();

    setUpSerialLink();
    initMainWindow();
    show();
}

void MDIFormMain::setUpSerialLink()
{
    // The serial link is set up here: the port scan and the stored serial
    // settings of com.cfg applied to the port. No link exists yet in this
    // build, so there is nothing to set up and every link command keeps the
    // enabling it has from the menu tree.
}

void MDIFormMain::initMainWindow()
{
    if (QScreen *s = screen()) {
        const QRect g = s->geometry();
        const float factor = 0.8f;
        const QSize size(int(float(g.width()) * factor), int(float(g.height()) * factor));
        resize(size);
        move(g.x() + (g.width() - size.width()) / 2, g.y() + (g.height() - size.height()) / 2);
    }
    for (const char *name : {"mnuFileClose", "mnuFileSave", "mnuFileSaveAs", "mnuEdit",
                             "mnuDisp", "mnuComTx"})
        item(QString::fromLatin1(name))->setEnabled(false);
}

void MDIFormMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit unloaded();
}
