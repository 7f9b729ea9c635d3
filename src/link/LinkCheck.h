#pragma once

#include "LinkSession.h"

// The communication check: "?:", then "CHINF:01"; passed when both are
// answered without an error reply. The line-end detection is armed first,
// so that the check works whatever line end the controller uses.
class LinkCheck : public LinkSession, public WaitView
{
    Q_OBJECT

public:
    explicit LinkCheck(AppContext &ctx, QObject *parent = nullptr);

    // Starts the check; finished() tells how it ended, and the session
    // closes itself then.
    void start();

    // WaitView
    void closeWait() override;

private:
    bool m_passed = false;
};
