#include "MDIFormMain.h"

#include "AppContext.h"
#include "clsWindow.h"
#include "config/ControllerType.h"
#include "config/NumberText.h"
#include "dlgInit.h"
#include "program/ProgramDocument.h"
#include "ui/CommandIcons.h"
#include "ui/FrmProg.h"
#include "ui/DataEntryDialog.h"
#include "ui/FrmCmd.h"
#include "ui/ProgramFiles.h"
#include "ui/QtFileDialogs.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

namespace {
QString section() { return QStringLiteral("MDIFormMain"); }
QString u16(const char16_t *s) { return QString::fromUtf16(s); }

// The items that need a document: all disabled while none is open.
const char *const kDocumentItems[] = {"mnuFileClose", "mnuFileSave", "mnuFileSaveAs",
                                      "mnuEdit",      "mnuDisp",     "mnuComTx"};
}

MDIFormMain::MDIFormMain(AppContext &ctx, QWidget *parent)
    : QMainWindow(parent), m_ctx(ctx), m_icons(std::make_unique<CommandIcons>())
{
    m_dataEntry = std::make_unique<DataEntryDialog>(ctx.catalogue, ctx.run.langIni, ctx.messages,
                                                    *m_icons, this);
    setFileDialogs(std::make_unique<QtFileDialogs>(this));
    setObjectName(section());
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    // A document that becomes active brings its own menu states.
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *w) {
        if (w)
            setMenuEnabled();
    });

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(status);

    buildMenus();

    // The parameter editor's item and the separator above it stay hidden for
    // the whole run.
    item(QStringLiteral("mnuLine2"))->setVisible(false);
    item(QStringLiteral("mnuFilePara"))->setVisible(false);
}

MDIFormMain::~MDIFormMain() = default;

QMenu *MDIFormMain::addMenu(const QString &name, const QString &stored, const QString &tag)
{
    QMenu *menu = menuBar()->addMenu(stored);
    menu->setObjectName(name);
    menu->setProperty(clsIniFile::kTagProperty, tag);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction *MDIFormMain::addItem(QMenu *menu, const QString &name, const QString &stored,
                              const QString &tag, const QKeySequence &shortcut)
{
    auto *action = new QAction(stored, this);
    action->setObjectName(name);
    action->setProperty(clsIniFile::kTagProperty, tag);
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

void MDIFormMain::onActiveForm(QAction *action, std::function<void(FrmProg &)> work)
{
    connect(action, &QAction::triggered, this, [this, work = std::move(work)] {
        if (FrmProg *form = activeForm())
            work(*form);
    });
}

void MDIFormMain::buildMenus()
{
    QMenu *file = addMenu(QStringLiteral("mnuFile"), u16(u"ﾌｧｲﾙ(&F)"), QStringLiteral("Cap011"));
    connect(file, &QMenu::aboutToShow, this, &MDIFormMain::mnuFile_Click);
    QAction *fileNew = addItem(file, QStringLiteral("mnuFileNew"), u16(u"新規作成(&N)..."),
                               QStringLiteral("Cap014"), QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(fileNew, &QAction::triggered, this, [this] { makeNewForm(m_ctx.run.axisNum); });
    QAction *fileOpen = addItem(file, QStringLiteral("mnuFileOpen"), u16(u"開く(&O)..."),
                                QStringLiteral("Cap015"), QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(fileOpen, &QAction::triggered, this, &MDIFormMain::openProgram);
    QAction *fileClose = addItem(file, QStringLiteral("mnuFileClose"), u16(u"閉じる(&C)"),
                                 QStringLiteral("Cap012"));
    onActiveForm(fileClose, [](FrmProg &form) { form.close(); });
    addSeparator(file, QStringLiteral("mnuLine1"));
    QAction *save = addItem(file, QStringLiteral("mnuFileSave"), u16(u"上書き保存(&S)"),
                            QStringLiteral("Cap017"), QKeySequence(Qt::CTRL | Qt::Key_S));
    onActiveForm(save, [this](FrmProg &form) { saveProgram(&form, false); });
    QAction *saveAs = addItem(file, QStringLiteral("mnuFileSaveAs"), u16(u"名前を付けて保存(&A)..."),
                              QStringLiteral("Cap018"));
    onActiveForm(saveAs, [this](FrmProg &form) { saveProgram(&form, true); });
    addSeparator(file, QStringLiteral("mnuLine2"));
    QAction *para = addItem(file, QStringLiteral("mnuFilePara"), u16(u"ﾊﾟﾗﾒｰﾀ設定..."),
                            QStringLiteral("Cap016"));
    connect(para, &QAction::triggered, this, &MDIFormMain::mnuFilePara_Click);
    addSeparator(file, QStringLiteral("mnuLine3"));
    QAction *exit = addItem(file, QStringLiteral("mnuFileEnd"), u16(u"終了(&X)"),
                            QStringLiteral("Cap013"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *edit = addMenu(QStringLiteral("mnuEdit"), u16(u"編集(&E)"), QStringLiteral("Cap010"));
    QAction *cut = addItem(edit, QStringLiteral("mnuCut"), u16(u"削除(&D)"), QStringLiteral("Cap007"),
                           QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    onActiveForm(cut, [](FrmProg &form) { form.deleteStep(); });
    QAction *insert = addItem(edit, QStringLiteral("mnuInsert"), u16(u"挿入(&I)"),
                              QStringLiteral("Cap019"), QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    onActiveForm(insert, [](FrmProg &form) { form.insertStep(); });

    QMenu *view = addMenu(QStringLiteral("mnuDisp"), u16(u"表示(&V)"), QStringLiteral("Cap008"));
    QAction *dispCmd = addItem(view, QStringLiteral("mnuDispCmd"), u16(u"コマンド表(&M)"),
                               QStringLiteral("Cap009"));
    dispCmd->setCheckable(true);
    connect(dispCmd, &QAction::triggered, this, [this, dispCmd] {
        // The check mark has already flipped: show what it now says.
        setMenuDispCmd(dispCmd->isChecked());
    });

    QMenu *comm = addMenu(QStringLiteral("mnuComm"), u16(u"通信(&C)"), QStringLiteral("Cap002"));
    connect(comm, &QMenu::aboutToShow, this, &MDIFormMain::mnuComm_Click);
    connect(addItem(comm, QStringLiteral("mnuComParam"), u16(u"通信設定..."), QStringLiteral("Cap004")),
            &QAction::triggered, this, &MDIFormMain::mnuComParam_Click);
    addSeparator(comm, QStringLiteral("Commsepa1"));
    connect(addItem(comm, QStringLiteral("mnuComTx"), u16(u"ﾀﾞｳﾝﾛｰﾄﾞ..."), QStringLiteral("Cap005")),
            &QAction::triggered, this, &MDIFormMain::mnuComTx_Click);
    connect(addItem(comm, QStringLiteral("mnuComUL"), u16(u"ｱｯﾌﾟﾛｰﾄﾞ..."), QStringLiteral("Cap006")),
            &QAction::triggered, this, &MDIFormMain::mnuComUL_Click);
    connect(addItem(comm, QStringLiteral("mnuComExe"), u16(u"ｺﾝﾄﾛｰﾗ制御..."), QStringLiteral("Cap001")),
            &QAction::triggered, this, &MDIFormMain::mnuComExe_Click);
    addSeparator(comm, QStringLiteral("Commsepa2"));
    connect(addItem(comm, QStringLiteral("mnuCommChk"), u16(u"通信確認..."), QStringLiteral("Cap003")),
            &QAction::triggered, this, &MDIFormMain::mnuCommChk_Click);
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
    m_appLauncher = std::make_unique<clsWindow>();
    show();
}

void MDIFormMain::setUpSerialLink()
{
    // The serial link is set up here: the port scan and the stored serial
    // settings of com.cfg applied to the port. No link exists yet in this
    // build, so there is nothing to set up and no port counts as usable.
}

bool MDIFormMain::isPortUsable() const
{
    // Whether the configured serial port can be opened; without the serial
    // link there is no configured port.
    return false;
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
    for (const char *name : kDocumentItems)
        item(QString::fromLatin1(name))->setEnabled(false);
}

FrmProg *MDIFormMain::makeNewForm(int iAxisNum)
{
    for (const char *name : {"mnuFileClose", "mnuFileSave", "mnuFileSaveAs", "mnuDisp"})
        item(QString::fromLatin1(name))->setEnabled(true);

    ProgEnv env;
    env.catalogue = &m_ctx.catalogue;
    env.langIni = &m_ctx.run.langIni;
    env.messages = &m_ctx.messages;
    env.icons = m_icons.get();
    env.langNo = m_ctx.run.langNo;
    env.maxStep = m_ctx.run.maxStep;
    env.host = this;

    auto *form = new FrmProg(env);
    form->setAxis(iAxisNum);
    form->setDocNo(m_nextDocNo);
    ++m_nextDocNo;
    m_mdiArea->addSubWindow(form);
    // Once the window is gone, the menus follow what is left.
    connect(form, &QObject::destroyed, this, &MDIFormMain::setCloseMenu, Qt::QueuedConnection);
    form->show();
    m_mdiArea->setActiveSubWindow(form);
    setMenuDispCmd(true);
    setMenuEnabled();
    return form;
}

FrmProg *MDIFormMain::activeForm() const
{
    if (auto *form = qobject_cast<FrmProg *>(m_mdiArea->currentSubWindow()))
        return form;
    // While another top-level window has the focus the area has no active
    // child; the document last active is still the one menus work on.
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        if (auto *form = qobject_cast<FrmProg *>(*it); form && !form->isHidden())
            return form;
    }
    return nullptr;
}

bool MDIFormMain::getLiveForm() const
{
    return activeForm() != nullptr;
}

void MDIFormMain::setMenuEnabled()
{
    FrmProg *form = activeForm();
    if (form)
        item(QStringLiteral("mnuEdit"))->setEnabled(form->getStep() >= 1);
    item(QStringLiteral("mnuComTx"))->setEnabled(form && isPortUsable() && form->getStep() >= 1);
}

void MDIFormMain::setCloseMenu()
{
    if (getLiveForm())
        return;
    for (const char *name : kDocumentItems)
        item(QString::fromLatin1(name))->setEnabled(false);
    setMenuDispCmd(false);
}

void MDIFormMain::setMenuDispCmd(bool blnSw)
{
    item(QStringLiteral("mnuDispCmd"))->setChecked(blnSw);
    if (blnSw) {
        if (!m_frmCmd) {
            m_frmCmd = new FrmCmd(m_ctx.catalogue, m_ctx.run.langIni, *m_icons, *this, this);
        } else if (!m_frmCmd->isVisible()) {
            m_frmCmd->initList();
        }
        m_frmCmd->show();
        m_frmCmd->raise();
    } else if (m_frmCmd && m_frmCmd->isVisible()) {
        m_frmCmd->hide();
    }
}

bool MDIFormMain::saveProgram(FrmProg *form, bool bSaveAs)
{
    return m_programFiles->saveProgram(form, bSaveAs);
}

FrmProg *MDIFormMain::openProgram()
{
    return m_programFiles->openProgram(m_ctx.run.axisNum, m_ctx.run.maxStep);
}

void MDIFormMain::setFileDialogs(std::unique_ptr<FileDialogs> dialogs)
{
    if (!dialogs)
        return;
    m_fileDialogs = std::move(dialogs);
    m_programFiles = std::make_unique<ProgramFiles>(
        m_ctx.catalogue, m_ctx.run.langIni, m_ctx.messages, *m_fileDialogs,
        [this](int axisCount) { return makeNewForm(axisCount); });
}

void MDIFormMain::setDataEntry(std::unique_ptr<DataEntry> entry)
{
    if (entry)
        m_dataEntry = std::move(entry);
}

void MDIFormMain::mnuFile_Click()
{
    // The parameter editor can only be started with no document open.
    item(QStringLiteral("mnuFilePara"))->setEnabled(!getLiveForm());
}

void MDIFormMain::mnuFilePara_Click()
{
    const Qt::WindowStates before = windowState();
    setWindowState(before | Qt::WindowMinimized);
    QAction *file = item(QStringLiteral("mnuFile"));
    QAction *comm = item(QStringLiteral("mnuComm"));
    file->setEnabled(false);
    comm->setEnabled(false);

    // The editor gets this program's command-line number, unrounded.
    const double number = ControllerType::commandLineNumber(m_ctx.run.commandLine);
    m_appLauncher->AppWait(QStringLiteral("Kestrom.exe"), {NumberText::shortest(number)});

    file->setEnabled(true);
    comm->setEnabled(true);
    setWindowState(before);
}

void MDIFormMain::mnuComm_Click()
{
    setMenuEnabled();
    const bool usable = isPortUsable();
    item(QStringLiteral("mnuComExe"))->setEnabled(usable);
    item(QStringLiteral("mnuComUL"))->setEnabled(usable);
}

void MDIFormMain::transferPause()
{
    dlgInit pause(m_ctx.run.langIni, this);
    pause.exec();
}

void MDIFormMain::mnuComParam_Click()
{
    setMenuDispCmd(false);
    // The serial settings are refreshed and their dialog opened here, once
    // the serial link exists.
}

void MDIFormMain::mnuComTx_Click()
{
    setMenuDispCmd(false);
    transferPause();
    // The download dialog opens here, once the serial link exists.
}

void MDIFormMain::mnuComUL_Click()
{
    setMenuDispCmd(false);
    transferPause();
    // The upload dialog opens here, once the serial link exists.
}

void MDIFormMain::mnuComExe_Click()
{
    setMenuDispCmd(false);
    transferPause();
    // The run control dialog opens here, once the serial link exists.
}

void MDIFormMain::mnuCommChk_Click()
{
    // The link check sends its first command and waits in dlgWait here,
    // once the serial link exists.
}

void MDIFormMain::closeEvent(QCloseEvent *event)
{
    // Every document runs its closing check first; one refusal keeps
    // everything open.
    QList<FrmProg *> forms;
    for (QMdiSubWindow *w : m_mdiArea->subWindowList()) {
        if (auto *form = qobject_cast<FrmProg *>(w))
            forms << form;
    }
    for (FrmProg *form : forms) {
        if (!form->queryUnload()) {
            event->ignore();
            return;
        }
    }
    for (FrmProg *form : forms)
        form->closeConfirmed();
    if (m_frmCmd)
        m_frmCmd->hide();
    event->accept();
    emit unloaded();
}
