#pragma once

#include <QByteArray>
#include <QString>

// What the controller command set calls on the operation that runs its
// exchanges, and nothing more. The sessions of link/ implement these (one
// session per operation); the tests implement them with a journal.

// The communication check.
class WaitView
{
public:
    virtual ~WaitView() = default;
    // The check is over.
    virtual void closeWait() = 0;
};

// A download.
class DownView
{
public:
    virtual ~DownView() = default;
    // The channel state from a channel information reply ("" clears it).
    virtual void dispChInf(const QString &reply) = 0;
    // An exchange starts (true) or ends (false); mode 1 is the channel
    // information, mode 2 the download itself.
    virtual void comWait(bool waiting, int mode) = 0;
    // Steps answered so far.
    virtual void setProgressbar(int value) = 0;
};

// Run control.
class ExeView
{
public:
    virtual ~ExeView() = default;
    virtual void dispChInf(const QString &reply) = 0;
    virtual void comWait(bool waiting) = 0;
    // Start or stop was asked for: a LOAD with channel 99 precedes it.
    virtual bool startMode() const = 0;
    virtual bool stopMode() const = 0;
    // The channel chosen in the list, 1..15.
    virtual int selectedChannel() const = 0;
};

// An upload, with the reader of uploaded lines.
class UpView
{
public:
    virtual ~UpView() = default;
    // The channel state from a reply ("" clears it).
    virtual void DispStatus(const QString &reply) = 0;
    // An exchange is running (true) or the dialog is idle (false).
    virtual void SetEnabled(bool running) = 0;
    virtual void Plus1Progress() = 0;
    // Lines taken since the upload started.
    virtual int linesTaken() const = 0;
    // Takes one program line; false when it cannot be read.
    virtual bool bTakeUploadLine(const QByteArray &line) = 0;
    // The controller ended the upload with its empty line.
    virtual void uploadFinished() = 0;
};

// The program a download sends (the active document, in the editor).
class StepSource
{
public:
    virtual ~StepSource() = default;
    virtual int getStep() const = 0;
    // The transmission text of step 1..getStep().
    virtual QString getSendStep(int step) const = 0;
};
