#pragma once

#include "link/LinkViews.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QPushButton;
struct AppContext;

// The run control dialog: starts and stops the program of one controller
// channel and shows that channel's state. The exchanges are run by the
// command set, which calls back through ExeView while the dialog is open.
//
// Prepare with vFormInitialize(), then show (modally). The dialog loads
// when it is shown: title and captions, channel list 01..15 with channel 1
// chosen, empty status; once it is up it asks for the state of the chosen
// channel. While an answer is awaited it is locked and cannot be closed.
class dlgExe : public QDialog, public ExeView
{
    Q_OBJECT

public:
    explicit dlgExe(AppContext &ctx, QWidget *parent = nullptr);
    ~dlgExe() override;

    // Resets the link (attention command, answer dropped) and forgets any
    // earlier activation and pending channel.
    void vFormInitialize();

    void SetStartMode(bool on) { m_startMode = on; }
    bool GetStartMode() const { return m_startMode; }
    void SetStopMode(bool on) { m_stopMode = on; }
    bool GetStopMode() const { return m_stopMode; }

    // ExeView
    void dispChInf(const QString &reply) override;
    void comWait(bool waiting) override;
    bool startMode() const override { return m_startMode; }
    bool stopMode() const override { return m_stopMode; }
    int selectedChannel() const override;

protected:
    void showEvent(QShowEvent *event) override;
    // Every way of closing (button, close box, Escape) comes here.
    void reject() override;

private:
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void comboCh_Click();
    void cmdStart_Click();
    void cmdStop_Click();

    AppContext &m_ctx;
    QComboBox *m_comboCh = nullptr;
    QLabel *m_lblStatus = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdClose = nullptr;

    bool m_bActive = false;
    int m_iPendingCh = 0;
    bool m_startMode = false;
    bool m_stopMode = false;
    // The control that had the focus when the dialog was locked.
    QPointer<QWidget> m_focusBeforeWait;
    // Loaded (attached to the command set) from showing until closing.
    bool m_loaded = false;
};
