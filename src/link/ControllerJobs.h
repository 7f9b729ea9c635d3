#pragma once

#include "BackupFolder.h"
#include "ChannelJob.h"

#include <QMap>
#include <QStringList>

class UploadSession;

// The state of every channel: the link reset, then CHINF for channels 1 to
// 15 in one opening of the port.
class ChannelSurvey : public ChannelJob
{
    Q_OBJECT

public:
    explicit ChannelSurvey(AppContext &ctx, QObject *parent = nullptr);

    void start();
    // The channel information reply of channel 1..15 ("" until read).
    QString state(int channel) const { return m_states.value(channel - 1); }
    // The steps it reports (0: empty or unknown).
    int steps(int channel) const;

signals:
    void channelRead(int channel, const QString &reply);

private:
    QStringList m_states;
};

// A backup of every channel that holds a program into a new folder (see
// BackupFolder): the state of each channel, then an upload of each one that
// is not empty. The folder is written only when every channel was read; a
// failure leaves nothing and says which channel failed.
class BackupSession : public ChannelJob
{
    Q_OBJECT

public:
    explicit BackupSession(AppContext &ctx, QObject *parent = nullptr);

    // `axes`: the axis count of the files; 0 for the most any channel's
    // lines hold. False, with the reason, when the folder cannot be made.
    bool start(const QString &dir, int axes);
    const QString &folder() const { return m_dir; }
    // After a backup: what was saved.
    const BackupFolder::Manifest &manifest() const { return m_manifest; }

signals:
    // One channel is done: its step count (0 for an empty channel).
    void channelSaved(int channel, int steps);

private:
    void uploadNext();
    void taken(const UploadSession &session);
    void writeFolder();
    LinkSession::Result refused(const QString &reason) const;
    // Tells of the empty channels before `channel`, in channel order.
    void tellEmptyBefore(int channel);

    QString m_dir;
    int m_axes = 0;
    QList<int> m_pending; // channels with a program still to read
    int m_told = 0;       // channelSaved() was emitted up to this channel
    QMap<int, QList<ProgStep>> m_programs;
    int m_widest = 1;
    BackupFolder::Manifest m_manifest;
};

// A restore of a backup: every file checked first (check()), then each
// chosen channel downloaded and read back to compare. It stops at the first
// failure; then each channel is in one of three states, as report() says.
class RestoreSession : public ChannelJob
{
    Q_OBJECT

public:
    explicit RestoreSession(AppContext &ctx, QObject *parent = nullptr);

    // Reads and checks the backup; the channels to restore (all with a
    // program when `channels` is empty). False, with the problems, when
    // anything is wrong: then nothing may be sent.
    bool check(const QString &dir, const QList<int> &channels);
    const BackupFolder::Contents &contents() const { return m_contents; }
    QStringList problems() const;
    QList<int> channels() const { return m_chosen; }
    // Downloads and verifies the chosen channels, one after the other.
    void start();

    enum class ChannelOutcome { Untouched, Restored, Incomplete };
    ChannelOutcome outcome(int channel) const { return m_outcomes.value(channel, ChannelOutcome::Untouched); }
    // The difference found when a channel read back otherwise than the
    // backup (empty when none).
    const QString &difference() const { return m_difference; }

signals:
    void channelRestored(int channel);

private:
    void next();

    BackupFolder::Contents m_contents;
    QList<int> m_chosen;
    QStringList m_problems;
    qsizetype m_index = 0;
    int m_current = 0;
    QMap<int, ChannelOutcome> m_outcomes;
    QString m_difference;
};

// The programs of several channels, read one after the other; each is
// handed on as it arrives (uploaded() is emitted while the session still
// holds it).
class ChannelsUpload : public ChannelJob
{
    Q_OBJECT

public:
    explicit ChannelsUpload(AppContext &ctx, QObject *parent = nullptr);

    void start(const QList<int> &channels);

signals:
    void uploaded(const UploadSession &session);

private:
    void next();
    QList<int> m_pending;
    int m_total = 0;
};

// A program into one channel, then the channel's state read again.
class ProgramDownload : public ChannelJob
{
    Q_OBJECT

public:
    explicit ProgramDownload(AppContext &ctx, QObject *parent = nullptr) : ChannelJob(ctx, parent) {}
    void start(const QList<ProgStep> &steps, int channel);
    // The channel's state after the download.
    const QString &state() const { return m_state; }

private:
    QString m_state;
};

// A channel compared with a program: the channel uploaded, then its steps
// aligned with the program's (StepDiff).
class CompareSession : public ChannelJob
{
    Q_OBJECT

public:
    explicit CompareSession(AppContext &ctx, QObject *parent = nullptr);

    // `axes`: the axis count the channel is read with (the program's).
    void start(int channel, const QList<ProgStep> &program, int axes);
    const QList<ProgStep> &channelSteps() const { return m_channelSteps; }
    const QList<ProgStep> &program() const { return m_program; }
    // After a compare: the channel holds the program, step for step.
    bool equal() const { return m_equal; }

private:
    QList<ProgStep> m_program;
    QList<ProgStep> m_channelSteps;
    bool m_equal = false;
};
