#pragma once

#include "LinkSession.h"
#include "program/ProgCell.h"
#include "program/mdlUpLoad.h"

// An upload: the program of one channel read back, line by line, into the
// upload table. Opening resets the link and asks for the state of the chosen
// channel (its number is the line count the progress expects); start() runs
// UPLOAD, one acknowledgement per accepted line, until the controller's
// empty line. A line the table cannot take is answered with NG and ends the
// upload without a program.
//
// The table is read as wide as the controller's lines are (up to three
// axes); steps() cuts it to the axis count a document can hold, and
// lossFor() says what that cut would leave out, so that nothing the
// controller holds is dropped without a word.
class UploadSession : public LinkSession, public UpView
{
    Q_OBJECT

public:
    explicit UploadSession(AppContext &ctx, QObject *parent = nullptr);

    void open(int channel);
    void requestState(int channel);
    void start(int channel);
    // Ends a running upload: NG to the controller, and no program.
    void stop();

    int channel() const { return m_channel; }
    QString state() const { return m_state; }
    // The line count of the last channel state (0 when none is known).
    int statusCount() const { return m_statusCount; }
    bool uploading() const { return m_uploading; }

    // The last upload ended with the controller's end line after at least
    // one line: steps() holds the program.
    bool hasProgram() const { return m_hasProgram; }
    // After a complete upload: the number of steps read,
    // and the most axes any line filled.
    int stepCount() const { return m_lines; }
    int axisCount() const { return m_widest; }
    // The steps with `axes` cells each; with one axis at most 100.
    QList<ProgStep> steps(int axes) const;
    // The cells of those steps that the program file reader would refuse:
    // they are kept as the controller holds them, and said.
    QList<UploadProblem> problems(int axes) const { return m_table.problems(axes); }
    // What a document of `axes` axes would leave out of the upload, in the
    // run's language; empty when it holds all of it.
    QString lossFor(int axes) const;
    // The problems() for the user, at most `most` of them named; empty
    // when there are none.
    QString problemReport(int axes, int most = 20) const;

    // UpView
    void DispStatus(const QString &reply) override;
    void SetEnabled(bool running) override;
    void Plus1Progress() override;
    int linesTaken() const override { return m_lines; }
    bool bTakeUploadLine(const QByteArray &line) override;
    void uploadFinished() override;

signals:
    void stateChanged(const QString &reply);
    // Lines read so far, of the expected `total` (grows with the lines).
    void progress(int lines, int total);

protected:
    void afterReset() override;

private:
    mdlUpLoad m_table;
    int m_channel = 1;
    QString m_state;
    int m_statusCount = 0;
    bool m_uploading = false;
    int m_lines = 0;
    int m_widest = 1;
    bool m_hasProgram = false;
};
