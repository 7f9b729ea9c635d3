#pragma once

#include "LinkDialogParts.h"

#include <QDialog>

#include <memory>

class LinkLog;
class QComboBox;
class QLabel;
class QPushButton;
class RunControlSession;
struct AppContext;

// The run control dialog: starts and stops the program of one controller
// channel and shows that channel's state. It is a view of a
// RunControlSession, which runs every exchange.
//
// Prepare with vFormInitialize(), then show (modally). Once up, the dialog
// opens its session (link reset, then the chosen channel's state). While an
// answer is awaited it is locked and cannot be closed.
class dlgExe : public QDialog
{
    Q_OBJECT

public:
    explicit dlgExe(AppContext &ctx, QWidget *parent = nullptr);
    ~dlgExe() override;

    // Forgets any earlier activation; the channel chosen is 01.
    void vFormInitialize();

    RunControlSession &session() { return *m_session; }

protected:
    void showEvent(QShowEvent *event) override;
    // Every way of closing (button, close box, Escape) comes here.
    void reject() override;

private:
    void openOnceShown();
    void channelChanged();
    void onBusyChanged(bool busy);
    int selectedChannel() const;

    AppContext &m_ctx;
    std::unique_ptr<RunControlSession> m_session;
    QComboBox *m_comboCh = nullptr;
    QLabel *m_lblStatus = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QLabel *m_lblResult = nullptr;
    LinkLog *m_log = nullptr;

    bool m_bActive = false;
    // A run or stop went out: the channel's state is asked for once the
    // dialog is unlocked.
    bool m_stateAfter = false;
    // The control that had the focus when the dialog was locked.
    LinkDialogParts::FocusKeeper m_focus;
};
