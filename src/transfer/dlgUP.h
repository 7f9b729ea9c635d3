#pragma once

#include "LinkDialogParts.h"
#include "link/TransferProgress.h"
#include "program/ProgCell.h"

#include <QDialog>
#include <QList>

#include <memory>

class LinkLog;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class UploadSession;
struct AppContext;

// The upload dialog: the user chooses a channel 01..15, sees its state,
// starts and stops the upload of its program and follows its progress. It
// is a view of an UploadSession, which runs every exchange and reads the
// lines.
//
// An upload that the controller ends with its empty line after at least
// one line closes the dialog; completed() then tells the caller to make a
// document of the session's steps. Any other end (an empty channel, a
// refused line, stop, an error reply, no answer, a lost port, closing the
// dialog) leaves nothing to make.
class dlgUP : public QDialog
{
    Q_OBJECT

public:
    explicit dlgUP(AppContext &ctx, QWidget *parent = nullptr);
    ~dlgUP() override;

    // Before the dialog is shown: the dialog counts as not yet activated.
    void InitUpLoad();
    // Sets the dialog up and shows it modally; returns when it has closed.
    void ShowDialog();

    // The upload ended with the controller's end line and a program.
    bool completed() const { return m_completed; }
    UploadSession &session() { return *m_session; }
    // The line count of the last channel state (0 when none was shown).
    int statusCount() const;

public slots:
    // Every way the dialog closes ends here: the session is closed.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void openOnceShown();
    void rememberChannel(int index);
    void onBusyChanged(bool busy);
    int selectedChannel() const;

    AppContext &m_ctx;
    std::unique_ptr<UploadSession> m_session;
    QComboBox *m_cboCH = nullptr;
    QPushButton *m_cmdUpLoad = nullptr;
    QPushButton *m_cmdStop = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_lblStatus = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_lblProgress = nullptr;
    TransferProgress m_progressText;
    LinkLog *m_log = nullptr;

    bool m_bActive = false;   // activated since InitUpLoad
    bool m_completed = false; // ended by the controller's end line
    LinkDialogParts::FocusKeeper m_focus;
};
