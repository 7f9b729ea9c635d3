#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A fault the simulated controller injects instead of carrying out a
// command: an error reply of its own, or silence; or, with Delay, the
// command carried out as usual and its reply sent late. It is placed either
// at a command keyword (the text before the command's colon, "EMPTY" for the
// empty line the host sends as its acknowledgement), optionally only at the
// n-th command with that keyword, or at a download step, numbered as the
// editor shows steps (the first step of a download is 0).
struct SimFault
{
    // Reply: the reply as a line; Raw: the bytes exactly as given, no line
    // end added (garbage, a line that never ends); Late: the reply as a line,
    // but only `delayMs` later (after the host has given up waiting); Delay:
    // the command is carried out, and its own reply goes out `delayMs` after
    // it came in, behind any reply still being sent.
    enum class Action { Reply, Silence, Raw, Late, Delay };

    static constexpr const char *kEmptyKeyword = "EMPTY";

    Action action = Action::Reply;
    QByteArray keyword;  // empty for a fault at a download step
    int occurrence = 0;  // 1-based; 0: every command with the keyword
    int step = -1;       // download step; -1 for a fault at a keyword
    QByteArray reply;    // the error reply for Action::Reply, e.g. "!5"
    int delayMs = 0;     // for Action::Late and Action::Delay

    // From a command-line option of velomat-sim: "fail" with
    // KEYWORD[#N]=REPLY, "silent" with KEYWORD[#N], "delay" with
    // KEYWORD[#N]=MS, "fail-step" with N=REPLY, "silent-step" with N. Nothing, and the reason, for a value
    // that does not have that form.
    static std::optional<SimFault> fromOption(const QString &option, const QString &value,
                                              QString *error);

    // Whether the fault hits a command with `keyword` that is the
    // `occurrence`-th with it, being download step `step` (-1 when it is
    // not a step).
    bool hits(const QByteArray &commandKeyword, int commandOccurrence, int commandStep) const;
};
