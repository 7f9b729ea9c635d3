#pragma once


#include "LinkDialogParts.h"
#include "link/TransferProgress.h"

#include "program/ProgCell.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QTimer>

#include <chrono>
#include <functional>

#include <memory>

class CompareSession;
class DownloadSession;
class QCheckBox;
class LinkLog;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class StepSource;
struct AppContext;

// The download dialog: sends the active document's program to one channel
// of the controller. The user chooses the channel (01..15), sees what the
// controller reports about it, starts the download, follows its progress,
// may stop it, and sees every text that goes over the line in the log.
// It is a view of a DownloadSession, which runs every exchange.
//
// Prepare with vFormInitialize(), then show (modally). Once up, the dialog
// opens its session (link reset, then the chosen channel's state). While an
// exchange runs it is locked and cannot be closed; only Stop ends a running
// download.
class dlgDown : public QDialog
{
    Q_OBJECT

public:
    // `program` gives the steps to send (the active document), with
    // `documentCaption` its caption for the title.
    dlgDown(AppContext &ctx, StepSource &program, const QString &documentCaption,
            QWidget *parent = nullptr);
    ~dlgDown() override;

    // Forgets any earlier activation; the channel chosen is 01.
    void vFormInitialize();

    DownloadSession &session() { return *m_session; }
    // The steps of the program, for "Verify after download": the channel
    // is read back after a complete download and compared with them. Not
    // set: no verify is offered.
    void setVerifiable(std::function<QList<ProgStep>()> steps, int axes);
    // True when the last verify found the channel as the program.
    bool verified() const { return m_verified; }

signals:
    // The step whose request went out last (the last one once all are
    // answered), as the view shows it, at most every few tens of
    // milliseconds and before any message: the document marks it.
    void stepShown(int step);

protected:
    void showEvent(QShowEvent *event) override;
    // Every way of closing (button, close box, Escape) comes here.
    void reject() override;

private:
    void openOnceShown();
    void channelChanged();
    void startDownload();
    void stopDownload();
    void onBusyChanged(bool busy);
    // Reads the channel back and compares it with the program.
    void verify();
    void onProgress(int step, int total);
    // Brings the progress bar and the log up to the session's.
    void updateView();
    int selectedChannel() const;

    AppContext &m_ctx;
    std::unique_ptr<DownloadSession> m_session;
    QComboBox *m_comboCh = nullptr;
    QLabel *m_lblStatus = nullptr;
    QLabel *m_lblProgress = nullptr;
    TransferProgress m_progressText;
    QProgressBar *m_progressBar = nullptr;
    LinkLog *m_lstDbg = nullptr;
    QCheckBox *m_chkVerify = nullptr;
    std::function<QList<ProgStep>()> m_programSteps;
    int m_axes = 0;
    std::unique_ptr<CompareSession> m_compare;
    bool m_verified = false;
    QPushButton *m_cmdTx = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdClose = nullptr;

    // What the session told since the last update of the view.
    static constexpr std::chrono::milliseconds kViewInterval{50};
    static constexpr std::chrono::milliseconds kViewDelay{1};
    QTimer m_viewTimer;
    QElapsedTimer m_sinceView;
    QList<int> m_progressPending;
    int m_progressTotal = 0;
    bool m_logPending = false;

    bool m_bActive = false;
    // The control that had the focus when the dialog was locked.
    LinkDialogParts::FocusKeeper m_focus;
};
