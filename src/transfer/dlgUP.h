#pragma once

#include "link/LinkViews.h"
#include "program/ProgCell.h"
#include "program/mdlUpLoad.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
struct AppContext;

// The upload dialog: the user chooses a channel 01..15, sees its state,
// starts and stops the upload of its program and follows its progress. The
// exchanges are run by the command set, which calls back through UpView
// while the dialog is loaded and hands it every uploaded line; the lines
// are read into the dialog's upload table.
//
// An upload that the controller ends with its empty line closes the
// dialog; completed() then tells the caller to make a document of
// uploadedSteps(). Any other end (a refused line, stop, an error reply, no
// answer, a lost port, closing the dialog) leaves nothing to make.
class dlgUP : public QDialog, public UpView
{
    Q_OBJECT

public:
    explicit dlgUP(AppContext &ctx, QWidget *parent = nullptr);
    ~dlgUP() override;

    // Before the dialog is shown: the link is reset, no channel is pending
    // and the dialog counts as not yet activated.
    void InitUpLoad();
    // Stops the link's timers, sets the dialog up and shows it modally;
    // returns when it has closed.
    void ShowDialog();

    // UpView
    // The channel state of a status reply ("" clears it) and the line count
    // it announces.
    void DispStatus(const QString &reply) override;
    // running: upload and close disabled, stop enabled, channel list
    // locked; idle: the reverse, and the progress back to 0.
    void SetEnabled(bool running) override;
    void Plus1Progress() override;
    bool bTakeUploadLine(const QByteArray &line) override;
    void uploadFinished() override;

    // The upload ended with the controller's empty line.
    bool completed() const { return m_completed; }
    // The program read, one cell per axis of the run; empty unless completed.
    QList<ProgStep> uploadedSteps() const;
    // The line count of the last channel state (0 when none was shown).
    int statusCount() const { return m_iStatusCount; }

public slots:
    // Every way the dialog closes ends here: the exchange is ended, the
    // port closed and the dialog leaves the command set.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Form_Activate();
    void cboCH_Click(int index);
    void cmdUpLoad_Click();
    void cmdStop_Click();
    // The channel state is asked for, the dialog busy meanwhile.
    void requestStatus(int ch);
    int selectedChannel() const;
    void unload();

    AppContext &m_ctx;
    mdlUpLoad m_upload;
    QComboBox *m_cboCH = nullptr;
    QPushButton *m_cmdUpLoad = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_lblStatus = nullptr;
    QProgressBar *m_progressBar = nullptr;

    bool m_bActive = false;   // activated since InitUpLoad
    int m_iPendingCh = 0;     // channel chosen before activation; 0: none
    int m_iStatusCount = 0;   // number of the last channel state
    bool m_loaded = false;    // between ShowDialog and closing
    bool m_completed = false; // ended by the controller's empty line
};
