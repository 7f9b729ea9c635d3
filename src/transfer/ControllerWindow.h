#pragma once

#include "link/LinkSession.h"
#include "program/ProgCell.h"

#include <QDialog>

#include <functional>
#include <memory>

class ChannelJob;
class ChannelSurvey;
class FileDialogs;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class RunControlSession;
class UploadSession;
struct AppContext;

// The controller at a glance: its 15 channels with the steps each holds,
// read on opening and by Refresh, and what can be done with the selected
// channels: upload each into a new document, download the active document,
// compare with the active document or a file, run and stop, and the whole
// controller backed up into a folder or restored from one. Everything runs
// as sessions while the window stays responsive; while one runs, only Stop
// is enabled, and it stops that work. No button is a default button.
class ControllerWindow : public QDialog
{
    Q_OBJECT

public:
    // What the window needs of the editor.
    struct Host
    {
        // The active document's steps, name and axis count; false when no
        // document is open.
        std::function<bool(QList<ProgStep> *steps, QString *name, int *axes)> activeProgram;
        // An upload that becomes a new document window.
        std::function<void(const UploadSession &)> takeUpload;
        FileDialogs *dialogs = nullptr;
    };

    ControllerWindow(AppContext &ctx, Host host, QWidget *parent);
    ~ControllerWindow() override;

    QTableWidget *table() const { return m_table; }
    bool busy() const;
    // The channels selected in the table, in channel order.
    QList<int> selectedChannels() const;

    void refresh();
    void uploadSelected();
    void downloadActive();
    void compareActive();
    void compareFile();
    void backUp();
    void restore();
    void runSelected() { control(true); }
    // Busy: stops the work that runs; idle: stops the selected channel's
    // program, as run control does.
    void stop();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QString text(const char *key) const;
    // One job at a time: its progress and end followed; the window busy
    // until it ends, then `done` with its result. The status line is
    // cleared for it unless `keepStatus`.
    void follow(ChannelJob *job, std::function<void(const LinkSession::Result &)> done, bool keepStatus = false);
    void setBusy(bool busy);
    void showState(int channel, const QString &reply);
    // What went wrong, in the run's language.
    QString failure(const LinkSession::Result &result) const;
    void inform(const QString &text, bool warning = false);
    void compare(int channel, const QList<ProgStep> &program, const QString &name, int axes);
    void control(bool start);
    int oneChannel();
    // The one channel selected and the active program (0, after telling
    // the user why, when either is missing, or while work runs).
    int channelAndProgram(QList<ProgStep> *steps, QString *name, int *axes);

    AppContext &m_ctx;
    Host m_host;
    QTableWidget *m_table = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
    QList<QPushButton *> m_actions; // disabled while busy
    QPushButton *m_stop = nullptr;
    std::unique_ptr<ChannelJob> m_job;
    std::unique_ptr<RunControlSession> m_control;
    bool m_shown = false;
};
