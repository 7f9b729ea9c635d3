#pragma once

#include <QObject>
#include <QPointer>

class ControllerWindow;
class FrmProg;
class MDIFormMain;
class UploadSession;
class MenuParts;
class QAction;
struct AppContext;

// What the Communication menu's items do: the serial settings, the link
// dialogs (each after the transfer pause, the active document kept active
// and focused afterwards), link check, and the document an upload becomes.
// The main window creates it; it puts its menu on the window's menu bar.
class CommunicationMenu : public QObject
{
    Q_OBJECT

public:
    CommunicationMenu(AppContext &ctx, MDIFormMain &main, const MenuParts &parts);

    QAction *menu() const { return m_menu; }
    // Download needs steps in the active document; the transfers need a
    // usable port.
    void updateItems(bool hasSteps, bool portUsable);

    void settings();
    void download();
    void upload();
    void runControl();
    void linkCheck();
    // The controller window (one at a time, not modal).
    void controller();

private:
    // An upload as a new document window, after the questions a loss of
    // axes or steps asks; null when the user declined.
    FrmProg *documentFrom(const UploadSession &upload);
    // The pause window shown before a transfer dialog opens.
    void transferPause();

    AppContext &m_ctx;
    MDIFormMain &m_main;
    QAction *m_menu = nullptr;
    QAction *m_download = nullptr;
    QAction *m_upload = nullptr;
    QAction *m_runControl = nullptr;
    QAction *m_controllerItem = nullptr;
    QPointer<ControllerWindow> m_controller;
};
