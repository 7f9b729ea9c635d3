#pragma once

#include "ProgCell.h"

#include <QList>

#include <array>

class Catalogue;

// An estimate of how a program moves and how long it takes, worked out from
// its steps alone under a simple model of the controller. Widget-free: the
// editor draws it, velomat-cli prints it. The model:
//
// - Steps run in order from step 000, every axis starting at
//   Options::startPositions. What a step does is what the controller is
//   sent for it (SendText): a command sent once per step in axis 1 (a jump,
//   a loop, a comment) is the whole step; otherwise each axis's cell is.
//   The commands of a step's axes start together, and the step ends when
//   every axis has finished what the step asked of it.
// - A move runs from the axis's start speed up to its maximum speed in a
//   straight ramp lasting its acceleration time, goes on at the maximum and
//   brakes the same way down to the start speed. When the distance is too
//   short to reach the maximum, the two ramps meet at a lower peak speed (a
//   triangle). A start speed above the maximum runs the whole move at the
//   maximum; so does an acceleration time of 0.
// - AGO: and MGO: move to their target, R: by its distance, H: to 0. The
//   BGO: axes of a step arrive together: the one that needs longest moves on
//   its own profile and the others follow it in proportion (a straight
//   path), so they all start, turn their corners and arrive at the same
//   times.
// - D: sets its axis's start speed [pps], maximum speed [pps] and
//   acceleration time [ms]. P: with parameter 8, 9 or 10 sets the same
//   three values, one each, of its axis: an assumption about the
//   controller's speed parameters. Before either, an axis moves with
//   Options::profiles.
// - W: waits n x 100 ms. U01: jumps. U02: jumps when the input of the axis
//   it names is in the state it names (Options::inputs; an axis beyond the
//   third reads 0), else goes on. U03: jumps back to its return step as often
//   as its count says, then goes on, and its counter starts afresh for the
//   next time. U99: ends the program once its step is done. C:, S:, P:
//   (other parameters), D:, #:, U00: and U04: take no time; C: output
//   changes and W: waits are marked with their time.
// - The run stops at U99:, when it runs or jumps past the last step, or
//   after Options::stepBudget executed steps. Then the control flow is
//   searched for the point from which it repeats forever; when there is
//   one, the result names its first step and the time of one repetition.
//
// Times are in seconds from the start of the program, positions in pulses.
// Every time is finite and not negative, whatever the cells hold.
class MotionPreview
{
public:
    static constexpr int kMaxAxes = 3;
    static constexpr qint64 kDefaultStepBudget = 100000;
    static constexpr qint64 kMaxStepBudget = 10000000;

    // The speeds an axis moves with.
    struct Profile
    {
        double startSpeed = 100;  // [pps]
        double maxSpeed = 5000;   // [pps]
        double accelTime = 100;   // [ms], for the ramp up and the ramp down each
    };

    struct Options
    {
        // Each axis's speeds before the program sets them.
        std::array<Profile, kMaxAxes> profiles{};
        // The input state, 0 or 1, of axes A, B and C that U02: reads.
        std::array<int, kMaxAxes> inputs{};
        std::array<double, kMaxAxes> startPositions{};
        // Executed steps after which the run stops (1 to kMaxStepBudget).
        qint64 stepBudget = kDefaultStepBudget;
    };

    enum class StopReason {
        ProgramEnd,    // a step with U99: was done
        PastLastStep,  // the run went on, or jumped, past the last step
        StepBudget,    // stepBudget steps were executed
    };

    // One step as it ran.
    struct ExecutedStep
    {
        int step = 0;          // 0-based index into the program's steps
        double start = 0;
        double duration = 0;
        std::array<double, kMaxAxes> endPosition{};
    };

    // One axis moving in one executed step. The speed ramps from startSpeed
    // up to peakSpeed between start and accelEnd, holds it until
    // cruiseEnd and ramps down again until end (accelEnd == cruiseEnd: a
    // triangle; accelEnd == start: the whole move at one speed). A move
    // may end before its step does.
    struct Move
    {
        qint32 executed = 0;   // index into Result::executed
        qint32 axis = 1;       // 1..3
        double start = 0;
        double accelEnd = 0;
        double cruiseEnd = 0;
        double end = 0;
        double from = 0;
        double to = 0;
        double startSpeed = 0; // [pps], also the speed at the end
        double peakSpeed = 0;  // [pps]

        // The position at time t: `from` before the move, `to` after it.
        double positionAt(double t) const;
    };

    // Something that happened at a point in time: an output change (C:)
    // or a wait (W:), as the chart marks them.
    struct Mark
    {
        enum class Kind { Output, Wait };
        Kind kind = Kind::Output;
        double time = 0;
        double duration = 0;                 // Wait: how long
        qint32 executed = 0;                 // index into Result::executed
        qint32 step = 0;
        qint32 axis = 1;                     // the cell's axis, 1..3
        std::array<qint8, 4> outputs{};      // Output: the four values of C:
    };

    // What a program step added up to over the run.
    struct StepTotal
    {
        qint64 runs = 0;
        double time = 0;
    };

    // A counted loop (U03:) over the run.
    struct LoopCount
    {
        int step = 0;            // the step holding U03:
        int returnStep = 0;
        qint64 count = 0;        // jumps back per pass
        qint64 repeats = 0;      // jumps back made in all
        qint64 completions = 0;  // times it went on after its last jump back
    };

    struct Result
    {
        int axisCount = 1;
        StopReason stopReason = StopReason::PastLastStep;
        int stopStep = -1;       // the last step executed; -1 without steps
        double cycleTime = 0;    // the end of the last executed step
        std::array<double, kMaxAxes> startPosition{};
        std::array<double, kMaxAxes> endPosition{};

        QList<ExecutedStep> executed; // in the order they ran
        QList<Move> moves;            // by executed step, then axis
        QList<Mark> marks;            // by executed step, then axis
        QList<StepTotal> stepTotals;  // one per program step
        QList<LoopCount> loops;       // one per U03: step, in program order

        // StepBudget: where the run repeats forever. repeatStep is the
        // program step that begins the repetition (-1: none was found, as
        // when a counted loop runs longer than the search, and the program
        // may yet end), first reached as executed step repeatFirst; one
        // repetition is repeatLength executed steps and repeatPeriod
        // seconds, measured once the repetition has settled (its first pass
        // may start from other positions).
        int repeatStep = -1;
        qint64 repeatFirst = -1;
        qint64 repeatLength = 0;
        double repeatPeriod = 0;

        // The position of axis 1..3 at time t (0 for another axis).
        double positionAt(int axis, double t) const;
    };

    static Result run(const Catalogue &catalogue, int axisCount, const QList<ProgStep> &steps,
                      const Options &options);
    static Result run(const Catalogue &catalogue, int axisCount, const QList<ProgStep> &steps)
    {
        return run(catalogue, axisCount, steps, Options());
    }
};
