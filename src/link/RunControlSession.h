#pragma once

#include "LinkSession.h"

// Run control: start or stop the program of one channel. Opening resets the
// link and asks for the chosen channel's state; run() and stop() send LOAD
// with channel 99 and, once it is answered without an error, "Z:" with the
// channel or "U07:", neither of which the controller answers.
class RunControlSession : public LinkSession, public ExeView
{
    Q_OBJECT

public:
    explicit RunControlSession(AppContext &ctx, QObject *parent = nullptr);

    void open(int channel);
    void requestState(int channel);
    void run(int channel);
    void stop(int channel);

    int channel() const { return m_channel; }
    QString state() const { return m_state; }

    // ExeView
    void dispChInf(const QString &reply) override;
    void comWait(bool waiting) override;
    bool startMode() const override { return m_startMode; }
    bool stopMode() const override { return m_stopMode; }
    int selectedChannel() const override { return m_channel; }

    // The last run or stop carried out: "Channel 02 started at 10:41:07".
    QString result() const { return m_result; }

signals:
    void stateChanged(const QString &reply);
    // A run or stop is on the line; `text` says which, on which channel
    // and when (also noted in the log).
    void controlled(const QString &text);

protected:
    void afterReset() override;

private:
    void control(int channel, bool start);

    int m_channel = 1;
    QString m_state;
    QString m_result;
    bool m_startMode = false;
    bool m_stopMode = false;
};
