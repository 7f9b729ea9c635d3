#include "MDIFormMain.h"

#include "CommunicationMenu.h"
#include "DocumentActions.h"
#include "FileDrop.h"
#include "LanguageMenu.h"
#include "MenuParts.h"
#include "RecentMenu.h"
#include "RecoveryOffer.h"
#include "WindowPlacement.h"
#include "WindowMenu.h"
#include "clsWindow.h"
#include "config/ControllerType.h"
#include "config/NumberText.h"
#include "config/ProgramFolder.h"
#include "link/AppContext.h"
#include "program/Autosave.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "ui/CommandIcons.h"
#include "ui/FrmProg.h"
#include "ui/DataEntryDialog.h"
#include "ui/FrmCmd.h"
#include "ui/ProgGrid.h"
#include "ui/ProblemsPanel.h"
#include "ui/ProgramFiles.h"
#include "ui/QtFileDialogs.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>

namespace {
QString section() { return QStringLiteral("MDIFormMain"); }
QString u16(const char16_t *s) { return QString::fromUtf16(s); }

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
        followActiveProgram();
    });

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(status);

    buildMenus();
    new FileDrop(this, [this](const QString &path) { openProgramFile(path); });
    // Asking another program for the clipboard's text can take a while, so
    // it is asked once per change of the clipboard.
    QClipboard *clipboard = QGuiApplication::clipboard();
    m_clipboardHasText = !clipboard->text().isEmpty();
    connect(clipboard, &QClipboard::dataChanged, this, [this, clipboard] {
        m_clipboardHasText = !clipboard->text().isEmpty();
        updateMenus();
    });

    // The parameter editor's item and the separator above it stay hidden for
    // the whole run.
    m_mnuLine2->setVisible(false);
    m_mnuFilePara->setVisible(false);
}

MDIFormMain::~MDIFormMain()
{
    // The area tells of its windows while the base class takes it down,
    // after this window's own parts are gone.
    disconnect(m_mdiArea, nullptr, this, nullptr);
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
    const MenuParts parts(this);
    m_mnuFile = parts.addMenu(QStringLiteral("mnuFile"), u16(u"ﾌｧｲﾙ(&F)"), QStringLiteral("Cap011"));
    connect(m_mnuFile->menu(), &QMenu::aboutToShow, this, [this] {
        updateMenus();
        m_recent->fill();
    });
    QAction *mnuFileNew = parts.addItem(m_mnuFile, QStringLiteral("mnuFileNew"), u16(u"新規作成(&N)..."),
                           QStringLiteral("Cap014"), QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(mnuFileNew, &QAction::triggered, this, [this] { makeNewForm(m_ctx.run.axisNum); });
    QAction *mnuFileOpen = parts.addItem(m_mnuFile, QStringLiteral("mnuFileOpen"), u16(u"開く(&O)..."),
                            QStringLiteral("Cap015"), QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(mnuFileOpen, &QAction::triggered, this, &MDIFormMain::openProgram);
    m_recent = new RecentMenu(m_ctx, m_mnuFile->menu(), [this](const QString &path) { openProgramFile(path); },
                              this);
    m_mnuFileClose = parts.addItem(m_mnuFile, QStringLiteral("mnuFileClose"), u16(u"閉じる(&C)"),
                             QStringLiteral("Cap012"));
    onActiveForm(m_mnuFileClose, [](FrmProg &form) { form.close(); });
    parts.addSeparator(m_mnuFile, QStringLiteral("mnuLine1"));
    m_mnuFileSave = parts.addItem(m_mnuFile, QStringLiteral("mnuFileSave"), u16(u"上書き保存(&S)"),
                            QStringLiteral("Cap017"), QKeySequence(Qt::CTRL | Qt::Key_S));
    onActiveForm(m_mnuFileSave, [this](FrmProg &form) { saveProgram(&form, false); });
    m_mnuFileSaveAs = parts.addItem(m_mnuFile, QStringLiteral("mnuFileSaveAs"),
                              u16(u"名前を付けて保存(&A)..."), QStringLiteral("Cap018"));
    onActiveForm(m_mnuFileSaveAs, [this](FrmProg &form) { saveProgram(&form, true); });
    m_documentActions = new DocumentActions(m_ctx, parts, m_mnuFile, [this] { return activeForm(); },
                                            [this]() -> FileDialogs & { return *m_fileDialogs; }, this);
    m_mnuLine2 = parts.addSeparator(m_mnuFile, QStringLiteral("mnuLine2"));
    m_mnuFilePara = parts.addItem(m_mnuFile, QStringLiteral("mnuFilePara"), u16(u"ﾊﾟﾗﾒｰﾀ設定..."),
                            QStringLiteral("Cap016"));
    connect(m_mnuFilePara, &QAction::triggered, this, &MDIFormMain::editParameters);
    parts.addSeparator(m_mnuFile, QStringLiteral("mnuLine3"));
    QAction *mnuFileEnd = parts.addItem(m_mnuFile, QStringLiteral("mnuFileEnd"), u16(u"終了(&X)"),
                           QStringLiteral("Cap013"));
    connect(mnuFileEnd, &QAction::triggered, this, &QWidget::close);

    m_mnuEdit = parts.addMenu(QStringLiteral("mnuEdit"), u16(u"編集(&E)"), QStringLiteral("Cap010"));
    m_mnuEditUndo = parts.addItem(m_mnuEdit, QStringLiteral("mnuEditUndo"), u16(u"元に戻す(&U)"),
                            QStringLiteral("Cap020"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    onActiveForm(m_mnuEditUndo, [](FrmProg &form) { form.undo(); });
    m_mnuEditRedo = parts.addItem(m_mnuEdit, QStringLiteral("mnuEditRedo"), u16(u"やり直し(&R)"),
                            QStringLiteral("Cap021"));
    m_mnuEditRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    onActiveForm(m_mnuEditRedo, [](FrmProg &form) { form.redo(); });
    parts.addSeparator(m_mnuEdit, QStringLiteral("mnuEditLine1"));
    m_mnuEditCut = parts.addItem(m_mnuEdit, QStringLiteral("mnuEditCut"), u16(u"切り取り(&T)"),
                           QStringLiteral("Cap022"), QKeySequence(Qt::CTRL | Qt::Key_X));
    onActiveForm(m_mnuEditCut, [](FrmProg &form) { form.cut(); });
    m_mnuEditCopy = parts.addItem(m_mnuEdit, QStringLiteral("mnuEditCopy"), u16(u"コピー(&C)"),
                            QStringLiteral("Cap023"), QKeySequence(Qt::CTRL | Qt::Key_C));
    onActiveForm(m_mnuEditCopy, [](FrmProg &form) { form.copy(); });
    m_mnuEditPaste = parts.addItem(m_mnuEdit, QStringLiteral("mnuEditPaste"), u16(u"貼り付け(&P)"),
                             QStringLiteral("Cap024"), QKeySequence(Qt::CTRL | Qt::Key_V));
    onActiveForm(m_mnuEditPaste, [](FrmProg &form) { form.paste(); });
    parts.addSeparator(m_mnuEdit, QStringLiteral("mnuEditLine2"));
    // The Edit menu is off while a document has no step, and the keys of a
    // disabled menu's items are dead with it; held by the window as well,
    // undo, redo and paste keep their keys, so that deleting the last step
    // can be undone and an empty program can receive steps.
    addActions({m_mnuEditUndo, m_mnuEditRedo, m_mnuEditPaste});
    QAction *mnuCut = parts.addItem(m_mnuEdit, QStringLiteral("mnuCut"), u16(u"削除(&D)"),
                       QStringLiteral("Cap007"), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    onActiveForm(mnuCut, [](FrmProg &form) { form.deleteStep(); });
    QAction *mnuInsert = parts.addItem(m_mnuEdit, QStringLiteral("mnuInsert"), u16(u"挿入(&I)"),
                          QStringLiteral("Cap019"), QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    onActiveForm(mnuInsert, [](FrmProg &form) { form.insertStep(); });

    m_mnuDisp = parts.addMenu(QStringLiteral("mnuDisp"), u16(u"表示(&V)"), QStringLiteral("Cap008"));
    m_mnuDispCmd = parts.addItem(m_mnuDisp, QStringLiteral("mnuDispCmd"), u16(u"コマンド表(&M)"),
                           QStringLiteral("Cap009"));
    m_mnuDispCmd->setCheckable(true);
    connect(m_mnuDispCmd, &QAction::triggered, this, [this] {
        // The check mark has already flipped: show what it now says.
        setMenuDispCmd(m_mnuDispCmd->isChecked());
    });
    m_problems = ProblemsPanel::dock(m_ctx.catalogue, m_ctx.run.langIni, this, m_mnuDisp->menu());
    m_documentActions->addPreviewItem(parts, m_mnuDisp);
    connect(m_problems, &ProblemsPanel::cellChosen, this, [this](int row, int column) {
        if (FrmProg *form = activeForm()) {
            form->selectCell(row, column);
            form->grid()->setFocus();
        }
    });
    new LanguageMenu(m_ctx.run, m_mnuDisp->menu());

    m_comm = new CommunicationMenu(m_ctx, *this, parts);
    m_mnuComm = m_comm->menu();

    m_mnuWindow = (new WindowMenu(parts, m_mdiArea, [this] { return activeForm(); }, this))->menu();

    // F6 is no menu item: the window and the command table both hold it.
    m_focusSwitch = new QAction(this);
    m_focusSwitch->setObjectName(QStringLiteral("actFocusSwitch"));
    m_focusSwitch->setShortcut(QKeySequence(Qt::Key_F6));
    connect(m_focusSwitch, &QAction::triggered, this, &MDIFormMain::switchFocus);
    addAction(m_focusSwitch);
}

void MDIFormMain::switchFocus()
{
    FrmProg *form = activeForm();
    if (!form)
        return;
    if (m_frmCmd && m_frmCmd->isVisible() && m_frmCmd->isActiveWindow()) {
        activateWindow();
        raise();
        m_mdiArea->setActiveSubWindow(form);
        form->grid()->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    setMenuDispCmd(true);
    m_frmCmd->activateWindow();
    m_frmCmd->list()->setFocus(Qt::ShortcutFocusReason);
}

QAction *MDIFormMain::item(const QString &name) const
{
    if (auto *menu = findChild<QMenu *>(name))
        return menu->menuAction();
    return findChild<QAction *>(name, Qt::FindDirectChildrenOnly);
}

void MDIFormMain::updateMenus()
{
    const FrmProg *form = activeForm();
    const bool hasSteps = form && form->getStep() >= 1;
    const bool port = m_ctx.comSettings.isPortUsable(0);
    for (QAction *a : {m_mnuFileClose, m_mnuFileSave, m_mnuFileSaveAs, m_mnuDisp})
        a->setEnabled(form != nullptr);
    // The parameter editor can only be started with no document open.
    m_mnuFilePara->setEnabled(form == nullptr);
    m_mnuEdit->setEnabled(hasSteps);
    // Undo and redo follow the active document's history; paste needs text
    // on the clipboard.
    m_mnuEditUndo->setEnabled(form && form->undoStack()->canUndo());
    m_mnuEditRedo->setEnabled(form && form->undoStack()->canRedo());
    m_mnuEditCut->setEnabled(hasSteps);
    m_mnuEditCopy->setEnabled(hasSteps);
    m_mnuEditPaste->setEnabled(form && m_clipboardHasText);
    m_comm->updateItems(hasSteps, port);
    m_documentActions->updateItems(form != nullptr);
    m_mnuWindow->setEnabled(form != nullptr);
}

int MDIFormMain::nextDocNo() const
{
    return m_ctx.nextDocNo;
}

void MDIFormMain::ShowMainDialog()
{
    m_ctx.run.langIni.CaptionChange(this);
    setWindowTitle(m_ctx.run.langIni.GetINIStr(section(), QStringLiteral("Title001")));
    m_problems->applyTexts();
    // Document numbering, the catalogue and the parameter limits.
    m_ctx.buildRunObjects();
    // The port scan and the stored serial settings of com.cfg put onto the
    // port.
    m_ctx.initComm();
    initMainWindow();
    m_appLauncher = std::make_unique<clsWindow>();
    // Modified documents are copied to this run's recovery session from now
    // on; once the window shows, what an earlier run left is offered.
    const bool firstShow = !m_autosave;
    if (firstShow)
        m_autosave = std::make_unique<Autosave>(m_ctx.catalogue, RecoveryOffer::folder(m_ctx), m_ctx.intervals.autosave);
    show();
    if (firstShow)
        QTimer::singleShot(0, this, [this] {
            RecoveryOffer::offer(m_ctx, *m_autosave, [this](int axes) { return makeNewForm(axes); });
        });
}

int MDIFormMain::getStep() const
{
    const FrmProg *form = activeForm();
    return form ? form->getStep() : 0;
}

QString MDIFormMain::getSendStep(int step) const
{
    const FrmProg *form = activeForm();
    return form ? form->getSendStep(step) : QString();
}

void MDIFormMain::initMainWindow()
{
    WindowPlacement::centreOnScreen(this, 0.8);
    // No document yet: the items that need one are disabled.
    updateMenus();
    m_recent->fill();
}

FrmProg *MDIFormMain::makeNewForm(int axes)
{
    auto *form = new FrmProg(m_ctx, *m_icons, *this);
    form->setAxis(axes);
    form->setDocNo(m_ctx.takeDocNo());
    if (m_autosave)
        m_autosave->track(form->document());
    m_mdiArea->addSubWindow(form);
    // Once the window is gone, the menus follow what is left.
    connect(form, &QObject::destroyed, this, &MDIFormMain::setCloseMenu, Qt::QueuedConnection);
    form->show();
    // The area placed the window before it took its size on showing.
    WindowPlacement::fitIntoArea(m_mdiArea, form, m_frmCmd);
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
    updateMenus();
}

void MDIFormMain::followActiveProgram()
{
    FrmProg *form = activeForm();
    if (m_problems)
        m_problems->follow(form ? form->document() : nullptr, form ? form->getAxis() : 1);
    m_documentActions->follow(form);
}

void MDIFormMain::setCloseMenu()
{
    followActiveProgram();
    if (getLiveForm())
        return;
    updateMenus();
    setMenuDispCmd(false);
}

void MDIFormMain::setMenuDispCmd(bool on)
{
    m_mnuDispCmd->setChecked(on);
    if (on) {
        if (!m_frmCmd) {
            m_frmCmd = new FrmCmd(m_ctx.catalogue, m_ctx.run.langIni, *m_icons, *this, this);
            m_frmCmd->addAction(m_focusSwitch);
        } else if (!m_frmCmd->isVisible()) {
            m_frmCmd->initList();
        }
        m_frmCmd->show();
        m_frmCmd->raise();
    } else if (m_frmCmd && m_frmCmd->isVisible()) {
        m_frmCmd->hide();
    }
}

bool MDIFormMain::saveProgram(FrmProg *form, bool saveAs)
{
    if (!m_programFiles->saveProgram(form, saveAs))
        return false;
    m_recent->remember(form->getFileName(true));
    return true;
}

FrmProg *MDIFormMain::openProgram()
{
    FrmProg *form = m_programFiles->openProgram(m_ctx.run.axisNum, m_ctx.run.maxStep);
    if (form)
        m_recent->remember(form->getFileName(true));
    return form;
}

FrmProg *MDIFormMain::openProgramFile(const QString &path)
{
    FrmProg *form = m_programFiles->openProgramFile(path, m_ctx.run.axisNum, m_ctx.run.maxStep);
    if (form)
        m_recent->remember(form->getFileName(true));
    return form;
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

void MDIFormMain::editParameters()
{
    const Qt::WindowStates before = windowState();
    setWindowState(before | Qt::WindowMinimized);
    m_mnuFile->setEnabled(false);
    m_mnuComm->setEnabled(false);

    // The editor gets this program's command-line number, unrounded.
    const double number = ControllerType::commandLineNumber(m_ctx.run.commandLine);
    m_appLauncher->AppWait(QStringLiteral("Kestrom.exe"), {NumberText::shortest(number)});

    m_mnuFile->setEnabled(true);
    m_mnuComm->setEnabled(true);
    setWindowState(before);
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
