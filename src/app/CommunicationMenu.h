#pragma once

#include <QObject>

class MDIFormMain;
struct AppContext;

// What the Communication menu's items do: the serial settings, the link
// dialogs (each after the transfer pause, the active document kept active
// and focused afterwards), link check, and the document an upload becomes.
// The main window creates it and connects its items to it.
class CommunicationMenu : public QObject
{
    Q_OBJECT

public:
    CommunicationMenu(AppContext &ctx, MDIFormMain &main);

    void settings();
    void download();
    void upload();
    void runControl();
    void linkCheck();

private:
    // The pause window shown before a transfer dialog opens.
    void transferPause();

    AppContext &m_ctx;
    MDIFormMain &m_main;
};
