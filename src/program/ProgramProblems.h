#pragma once

#include "ProgCell.h"

#include <QList>
#include <QString>
#include <QStringList>

class Catalogue;
class clsIniFile;

// What a program's steps alone tell about it, without a controller: jumps
// that leave the program, loops that cannot go back, input jumps on an axis
// the program lacks, steps that can never run, endless loops that neither
// move nor wait, and moves made before the axis was given a speed.
//
// A step does what the controller is sent for it (SendText): when axis 1
// holds a command sent once per step (a jump, a loop, a comment), that cell
// alone is the step; otherwise every axis's cell is. The control flow is:
// U01: to its target only; U02: and U03: to the next step and their target;
// a step holding U99: nowhere; every other step to the next one. A target
// outside the program, and the step after the last, lead out of it.
//
// Widget-free and cheap (a few hundred cells, one pass each plus a walk of
// the control flow), so the editor can run it after every edit.
class ProgramProblems
{
public:
    enum class Severity { Warning, Information };

    // Stable: kindId() names each one for scripts and saved settings.
    enum class Kind {
        JumpPastEnd,      // U01:/U02: target, U03: return step after the last step
        LoopNotBackward,  // U03: return step at or after its own step
        InputAxisMissing, // U02: reads an axis the program does not have
        NeverRuns,        // a run of steps that no path from step 000 reaches
        EndlessIdleLoop,  // a loop without way out, motion, wait or input jump
        MoveBeforeSpeed,  // first move of an axis before D: or P: 8..10 on it
    };

    struct Problem
    {
        Kind kind = Kind::JumpPastEnd;
        Severity severity = Severity::Warning;
        int step = 0;     // 0-based index into the steps
        int axis = 0;     // 1..3, 0 when the problem is the whole step's
        // The values the text is made of, by kind:
        //   JumpPastEnd       target, last step (three-digit step labels)
        //   LoopNotBackward   return step
        //   InputAxisMissing  axis letter
        //   NeverRuns         first step, last step of the run
        //   EndlessIdleLoop   every step of the loop, in order
        //   MoveBeforeSpeed   mnemonic of the move ("AGO:")
        QStringList args;
        QString text;     // from the language file's [Problems] section

        // The step as the grid shows it ("014") and the axis letter ("A",
        // empty for a step's problem).
        QString stepLabel() const;
        QString axisLetter() const;
    };

    // Every problem of the program, ordered by step, then axis, then kind,
    // with its text in the language of `lang`.
    static QList<Problem> find(const Catalogue &catalogue, int axisCount,
                               const QList<ProgStep> &steps, const clsIniFile &lang);
    // The same without texts, for callers that word them later.
    static QList<Problem> find(const Catalogue &catalogue, int axisCount,
                               const QList<ProgStep> &steps);

    // Fills in the texts from section [Problems] of `lang`; a text the file
    // lacks is given in English, so that a report never has an empty line.
    static void describe(QList<Problem> &problems, const clsIniFile &lang);

    static Severity severity(Kind kind);
    // "jump-past-end", "loop-not-backward", "input-axis-missing",
    // "never-runs", "endless-idle-loop", "move-before-speed".
    static QString kindId(Kind kind);
};
