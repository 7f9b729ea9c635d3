#pragma once

#include "link/LinkViews.h"
#include "link/TrafficLog.h"

#include <QDialog>
#include <QMetaObject>
#include <QPointer>

class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
struct AppContext;

// The download dialog: sends the active document's program to one channel
// of the controller. The user chooses the channel (01..15), sees what the
// controller reports about it, starts the download, follows its progress,
// may stop it, and sees every text that goes over the line in the log.
// The exchanges themselves (LOAD, the steps, PGWRT, REMOTE, the time-out)
// are run by the command set, which takes the steps from its StepSource and
// calls back through DownView while the dialog is open.
//
// Prepare with vFormInitialize(), then show (modally). The dialog loads
// when it is shown (channel 1 chosen, line-end detection armed, traffic
// logged) and, once up, asks for the state of the chosen channel. While an
// exchange runs it is locked and cannot be closed; only Stop ends a
// running download.
class dlgDown : public QDialog, public DownView
{
    Q_OBJECT

public:
    // `documentCaption` is the caption of the document to send, shown in
    // the title; `stepCount` its number of steps, the progress bar's range.
    dlgDown(AppContext &ctx, const QString &documentCaption, int stepCount,
            QWidget *parent = nullptr);
    ~dlgDown() override;

    // Resets the link (attention command, answer dropped) and forgets any
    // earlier activation and pending channel.
    void vFormInitialize();

    // Adds a text sent (received false) or received to the log.
    void putMsg(const QByteArray &text, bool received);
    bool bNewLine() const { return m_log.bNewLine; }

    // DownView
    void dispChInf(const QString &reply) override;
    void comWait(bool waiting, int mode) override;
    void setProgressbar(int value) override;
    void setNewLine(bool newLine) override { m_log.bNewLine = newLine; }

protected:
    void showEvent(QShowEvent *event) override;
    // Every way of closing (button, close box, Escape) comes here.
    void reject() override;

private:
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void comboCh_Click();
    void cmdTx_Click();
    void cmdStop_Click();
    int selectedChannel() const;

    AppContext &m_ctx;
    int m_stepCount = 0;
    QComboBox *m_comboCh = nullptr;
    QLabel *m_lblStatus = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QListWidget *m_lstDbg = nullptr;
    QPushButton *m_cmdTx = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdClose = nullptr;

    TrafficLog m_log;
    QMetaObject::Connection m_traffic;
    bool m_bActive = false;
    int m_iPendingCh = 0;
    // The control that had the focus when the dialog was locked.
    QPointer<QWidget> m_focusBeforeWait;
    // Loaded (attached to the command set, logging) from showing until
    // closing.
    bool m_loaded = false;
};
