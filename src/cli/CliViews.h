#pragma once

#include "link/LinkViews.h"
#include "program/ProgCell.h"
#include "program/mdlUpLoad.h"

#include <QList>
#include <QString>

class Catalogue;
class QEventLoop;
class QTextStream;
class TrafficLog;

// The dialogs of the editor as velomat-cli plays them: every view the
// command set calls on, without a window. An operation runs an event loop
// that the views end when the dialog would become idle again.
class CliViews : public WaitView, public DownView, public ExeView, public UpView, public StepSource
{
public:
    CliViews(const Catalogue &catalogue, QEventLoop &loop, QTextStream &err, TrafficLog &log);

    // WaitView
    void closeWait() override;
    // DownView and ExeView
    void dispChInf(const QString &reply) override { state = reply; }
    void comWait(bool waiting, int mode) override;
    void setProgressbar(int value) override;
    void setNewLine(bool newLine) override;
    void comWait(bool waiting) override;
    bool startMode() const override { return start; }
    bool stopMode() const override { return stop; }
    int selectedChannel() const override { return channel; }
    // UpView
    void DispStatus(const QString &reply) override { state = reply; }
    void SetEnabled(bool running) override;
    void Plus1Progress() override {}
    bool bTakeUploadLine(const QByteArray &line) override;
    void uploadFinished() override;
    // StepSource: the program being downloaded.
    int getStep() const override { return int(steps.size()); }
    QString getSendStep(int step) const override;

    QList<ProgStep> steps;  // what a download sends
    mdlUpLoad upload;       // what an upload reads
    QString state;          // the last channel state reply
    QByteArray refusedLine; // an uploaded line that could not be read
    bool completed = false; // the upload ended with its empty line
    bool start = false;
    bool stop = false;
    int channel = 1;

private:
    const Catalogue &m_catalogue;
    QEventLoop &m_loop;
    QTextStream &m_err;
    TrafficLog &m_log;
};
