#include "CommunicationMenu.h"

#include "LinkDialogGuard.h"
#include "MDIFormMain.h"
#include "MenuParts.h"
#include "dlgInit.h"
#include "dlgWait.h"
#include "link/AppContext.h"
#include "link/LinkCheck.h"
#include "link/UploadSession.h"
#include "program/ProgramDocument.h"
#include "transfer/ControllerWindow.h"
#include "transfer/dlgComSetup.h"
#include "transfer/dlgDown.h"
#include "transfer/dlgExe.h"
#include "transfer/dlgUP.h"
#include "ui/FrmProg.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

CommunicationMenu::CommunicationMenu(AppContext &ctx, MDIFormMain &main, const MenuParts &parts)
    : QObject(&main), m_ctx(ctx), m_main(main)
{
    const auto text = [](const char16_t *s) { return QString::fromUtf16(s); };
    m_menu = parts.addMenu(QStringLiteral("mnuComm"), text(u"通信(&C)"), QStringLiteral("Cap002"));
    connect(m_menu->menu(), &QMenu::aboutToShow, &main, &MDIFormMain::updateMenus);
    QAction *settingsItem = parts.addItem(m_menu, QStringLiteral("mnuComParam"), text(u"通信設定..."),
                                          QStringLiteral("Cap004"));
    connect(settingsItem, &QAction::triggered, this, &CommunicationMenu::settings);
    parts.addSeparator(m_menu, QStringLiteral("Commsepa1"));
    m_download = parts.addItem(m_menu, QStringLiteral("mnuComTx"), text(u"ﾀﾞｳﾝﾛｰﾄﾞ..."), QStringLiteral("Cap005"));
    connect(m_download, &QAction::triggered, this, &CommunicationMenu::download);
    m_upload = parts.addItem(m_menu, QStringLiteral("mnuComUL"), text(u"ｱｯﾌﾟﾛｰﾄﾞ..."), QStringLiteral("Cap006"));
    connect(m_upload, &QAction::triggered, this, &CommunicationMenu::upload);
    m_runControl = parts.addItem(m_menu, QStringLiteral("mnuComExe"), text(u"ｺﾝﾄﾛｰﾗ制御..."),
                                 QStringLiteral("Cap001"));
    connect(m_runControl, &QAction::triggered, this, &CommunicationMenu::runControl);
    m_controllerItem = parts.addItem(m_menu, QStringLiteral("mnuComCtrl"), text(u"コントローラ(&O)..."),
                                     QStringLiteral("Cap025"));
    connect(m_controllerItem, &QAction::triggered, this, &CommunicationMenu::controller);
    parts.addSeparator(m_menu, QStringLiteral("Commsepa2"));
    QAction *check = parts.addItem(m_menu, QStringLiteral("mnuCommChk"), text(u"通信確認..."),
                                   QStringLiteral("Cap003"));
    connect(check, &QAction::triggered, this, &CommunicationMenu::linkCheck);
}

void CommunicationMenu::updateItems(bool hasSteps, bool portUsable)
{
    m_download->setEnabled(hasSteps && portUsable);
    m_upload->setEnabled(portUsable);
    m_runControl->setEnabled(portUsable);
    m_controllerItem->setEnabled(portUsable);
}

void CommunicationMenu::transferPause()
{
    dlgInit pause(m_ctx.run.langIni, m_ctx.intervals.transferPause, &m_main);
    pause.exec();
}

void CommunicationMenu::settings()
{
    m_main.setMenuDispCmd(false);
    // Port scan and settings file fresh before the dialog shows them.
    m_ctx.initComm();
    dlgComSetup dialog(m_ctx.comSettings, m_ctx.run.langIni, &m_main);
    dialog.exec();
    m_main.updateMenus();
}

void CommunicationMenu::download()
{
    m_main.setMenuDispCmd(false);
    FrmProg *form = m_main.activeForm();
    if (!form)
        return;
    const LinkDialogGuard guard(m_main.mdiArea());
    transferPause();
    // The dialog is modal: the active document cannot change meanwhile, and
    // the download takes its steps from it.
    dlgDown dialog(m_ctx, m_main, form->windowTitle(), &m_main);
    // The step being sent is marked in the document and kept in view.
    connect(&dialog, &dlgDown::stepShown, form, [form](int step) { form->selectCell(step, 1); });
    dialog.setVerifiable([form] { return form->document()->steps(); }, form->getAxis());
    dialog.vFormInitialize();
    dialog.exec();
    m_main.updateMenus();
}

void CommunicationMenu::upload()
{
    m_main.setMenuDispCmd(false);
    LinkDialogGuard guard(m_main.mdiArea());
    transferPause();
    dlgUP dialog(m_ctx, &m_main);
    dialog.InitUpLoad();
    dialog.ShowDialog();
    // Only an upload that ended with the controller's end line becomes a
    // document: a stopped, refused or broken one leaves nothing behind.
    if (!dialog.completed())
        return;
    if (FrmProg *form = documentFrom(dialog.session()))
        guard.keep(form);
}

void CommunicationMenu::runControl()
{
    m_main.setMenuDispCmd(false);
    const LinkDialogGuard guard(m_main.mdiArea());
    transferPause();
    dlgExe dialog(m_ctx, &m_main);
    dialog.vFormInitialize();
    dialog.exec();
}

void CommunicationMenu::linkCheck()
{
    const LinkDialogGuard guard(m_main.mdiArea());
    // The wait window stays until the check is over: answer handled or
    // reply time-out.
    dlgWait wait(m_ctx.run.langIni, &m_main);
    LinkCheck check(m_ctx);
    connect(&check, &LinkCheck::finished, &wait, &dlgWait::finish);
    // The exchange as it goes, readable behind the result's message.
    connect(&check, &LinkCheck::logChanged, &wait, [&wait, &check] {
        QTimer::singleShot(0, &wait, [&wait, &check] { wait.showLog(check.log()); });
    });
    check.start();
    wait.ShowDialog();
}

FrmProg *CommunicationMenu::documentFrom(const UploadSession &upload)
{
    const int axes = m_ctx.run.axisNum;
    const QString loss = upload.lossFor(axes);
    if (!loss.isEmpty()) {
        const QString text = m_ctx.messages.keyText(QStringLiteral("Mes073"))
                                 .arg(upload.axisCount())
                                 .arg(upload.stepCount())
                                 .arg(loss);
        if (m_ctx.messages.show(MsgKind::Warning, MsgButtons::YesNo, text) != MsgAnswer::Yes)
            return nullptr;
    }
    FrmProg *form = m_main.makeNewForm(axes);
    form->document()->putSteps(upload.steps(axes));
    // Nothing of it is saved anywhere yet.
    form->markUploaded(upload.channel());
    form->selectCell(1, 1);
    // Values the file reader would refuse stay as the controller holds
    // them; the user is told which, before saving runs into them.
    const QString problems = upload.problemReport(axes);
    if (!problems.isEmpty())
        m_ctx.messages.show(MsgKind::Warning, MsgButtons::Ok, problems);
    return form;
}

void CommunicationMenu::controller()
{
    if (!m_controller) {
        ControllerWindow::Host host;
        host.activeProgram = [this](QList<ProgStep> *steps, QString *name, int *axes) {
            FrmProg *form = m_main.activeForm();
            if (!form)
                return false;
            *steps = form->document()->steps();
            *name = form->windowTitle();
            *axes = form->getAxis();
            return true;
        };
        host.takeUpload = [this](const UploadSession &upload) { documentFrom(upload); };
        host.dialogs = &m_main.fileDialogs();
        m_controller = new ControllerWindow(m_ctx, std::move(host), &m_main);
        m_controller->setAttribute(Qt::WA_DeleteOnClose);
        m_ctx.run.langIni.CaptionChange(m_controller);
    }
    m_controller->show();
    m_controller->raise();
    m_controller->activateWindow();
}
