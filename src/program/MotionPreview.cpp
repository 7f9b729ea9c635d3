#include "MotionPreview.h"

#include "Catalogue.h"
#include "config/NumberText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Options = MotionPreview::Options;
using Profile = MotionPreview::Profile;
using Result = MotionPreview::Result;
constexpr int kAxes = MotionPreview::kMaxAxes;

// Bounds that keep every duration finite and positive whatever a cell holds
// (an uploaded program may hold values the file reader refuses).
constexpr double kMinSpeed = 1;        // [pps]
constexpr double kMaxSpeed = 1e9;      // [pps]
constexpr double kMaxAccelTime = 1e7;  // [ms]

double bounded(double v, double lo, double hi)
{
    return std::isnan(v) ? lo : std::clamp(v, lo, hi);
}

Profile sane(const Profile &p)
{
    return {bounded(p.startSpeed, kMinSpeed, kMaxSpeed), bounded(p.maxSpeed, kMinSpeed, kMaxSpeed),
            bounded(p.accelTime, 0, kMaxAccelTime)};
}

// What one cell asks of its axis.
enum class Act : quint8 {
    None, MoveTo, MoveBy, MoveTogether, Wait, Output, Speeds, StartSpeed, MaxSpeed, AccelTime,
};

struct Action
{
    Act act = Act::None;
    std::array<double, 3> value{};   // target or distance; wait [s]; D:'s three values
    std::array<qint8, 4> outputs{};  // C:
};

// What a step does to the control flow.
enum class Flow : quint8 { Cells, Comment, Jump, Input, Loop };

struct Compiled
{
    Flow flow = Flow::Cells;
    qint64 target = 0;       // Jump, Input, Loop
    qint64 count = 0;        // Loop
    int inputAxis = -1;      // Input: 0 for A .. 2 for C; -1 for a letter past C
    int inputState = 0;      // Input: the state that makes it jump
    int loop = -1;           // Loop: index of its counter
    bool ends = false;       // Cells: a U99: among them
    int cells = 0;           // Cells: how many axes act
    std::array<Action, kAxes> actions{};
};

// Where the control flow stands: the next step and every loop's counter.
// `hash` sums up the counters so that two states rarely need comparing
// counter by counter.
struct ControlState
{
    int step = 0;
    quint64 hash = 0;
    std::vector<qint64> counters;

    friend bool operator==(const ControlState &a, const ControlState &b)
    {
        return a.step == b.step && a.hash == b.hash && a.counters == b.counters;
    }
};

quint64 counterKey(int loop, qint64 value)
{
    // splitmix64's finaliser on the loop and its counter.
    quint64 z = (quint64(loop) << 40) ^ quint64(value);
    z += 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

enum class Outcome { Next, End, Out };

// The travel of one move against time, from its start.
struct Shape
{
    double accel = 0;       // ramp up (and down) [s]
    double cruise = 0;      // at the peak speed [s]
    double total = 0;       // [s]
    double startSpeed = 0;  // [pps]
    double peakSpeed = 0;   // [pps]
};

Shape shapeFor(double distance, const Profile &p)
{
    if (!(distance > 0))
        return {};
    const double vm = p.maxSpeed;
    const double v0 = std::min(p.startSpeed, vm);
    const double ta = p.accelTime / 1000.0;
    if (ta <= 0 || v0 >= vm) {
        const double t = distance / vm;
        return {0, t, t, vm, vm};
    }
    const double ramp = (v0 + vm) / 2 * ta; // distance of one ramp
    if (2 * ramp <= distance) {
        const double cruise = (distance - 2 * ramp) / vm;
        return {ta, cruise, 2 * ta + cruise, v0, vm};
    }
    // Each ramp covers half the distance: vp^2 = v0^2 + 2a(d/2).
    const double a = (vm - v0) / ta;
    const double vp = std::sqrt(v0 * v0 + a * distance);
    const double half = distance / (v0 + vp); // (vp - v0) / a without the cancellation
    return {half, 0, 2 * half, v0, vp};
}

// A program turned into numbers once, and what runs it.
class Runner
{
public:
    Runner(const Catalogue &catalogue, int axisCount, const QList<ProgStep> &steps,
           const Options &options);

    int stepCount() const { return int(m_steps.size()); }
    int loopCount() const { return int(m_loopSteps.size()); }
    int loopStep(int loop) const { return m_loopSteps.at(loop); }
    const Compiled &compiled(int step) const { return m_steps.at(step); }

    ControlState startState() const;
    // Leaves the step s.step for the next; Out when that is outside the
    // program (s.step is then unchanged), End after a U99: step. A U03:
    // step leaves its counter non-zero exactly when it jumped back.
    Outcome advance(ControlState &s) const;

    // Does the cells of `step` starting at `start`: moves the axes, takes
    // on new speeds, and with `record` notes the moves and marks. Returns
    // the step's duration.
    double perform(int step, double start, qint32 executed, Result *record);
    const std::array<double, kAxes> &positions() const { return m_positions; }

private:
    std::vector<Compiled> m_steps;
    std::vector<int> m_loopSteps;
    std::array<int, kAxes> m_inputs{};
    std::array<Profile, kAxes> m_profiles{};
    std::array<double, kAxes> m_positions{};
};

Runner::Runner(const Catalogue &catalogue, int axisCount, const QList<ProgStep> &steps,
               const Options &options)
{
    for (int a = 0; a < kAxes; ++a) {
        m_inputs[a] = options.inputs[a];
        m_profiles[a] = sane(options.profiles[a]);
        m_positions[a] = std::isfinite(options.startPositions[a]) ? options.startPositions[a] : 0;
    }
    auto integer = [](const ProgCell &cell, int i) { return NumberText::leadingInteger(cell.param(i)); };
    auto number = [](const ProgCell &cell, int i) { return NumberText::leadingNumber(cell.param(i)); };

    m_steps.resize(steps.size());
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const ProgStep &step = steps.at(i);
        const ProgCell first = step.value(0);
        Compiled &c = m_steps[i];
        switch (first.cmd) {
        case Catalogue::U01:
            c.flow = Flow::Jump;
            c.target = integer(first, 1);
            continue;
        case Catalogue::U02: {
            c.flow = Flow::Input;
            // The reader takes the letters "A" to "F" in either case; the
            // inputs past the third axis are taken as 0.
            const QString letter = trimSpaces(first.param(1)).left(1).toUpper();
            const int axis = letter.isEmpty() ? -1 : letter.at(0).unicode() - u'A';
            c.inputAxis = axis >= 0 && axis < int(m_inputs.size()) ? axis : -1;
            c.inputState = int(integer(first, 2));
            c.target = integer(first, 3);
            continue;
        }
        case Catalogue::U03:
            c.flow = Flow::Loop;
            c.target = integer(first, 1);
            c.count = integer(first, 2);
            c.loop = int(m_loopSteps.size());
            m_loopSteps.push_back(int(i));
            continue;
        default:
            break;
        }
        if (catalogue.isSendOnce(first.cmd)) {
            c.flow = Flow::Comment;
            continue;
        }
        c.cells = std::min({std::clamp(axisCount, 1, kAxes), int(step.size()), kAxes});
        for (int a = 0; a < c.cells; ++a) {
            const ProgCell &cell = step.at(a);
            Action &act = c.actions[a];
            switch (cell.cmd) {
            case Catalogue::AGO:
            case Catalogue::MGO:
                act.act = Act::MoveTo;
                act.value[0] = double(integer(cell, 1));
                break;
            case Catalogue::BGO:
                act.act = Act::MoveTogether;
                act.value[0] = double(integer(cell, 1));
                break;
            case Catalogue::H:
                act.act = Act::MoveTo;
                break;
            case Catalogue::R:
                act.act = Act::MoveBy;
                act.value[0] = double(integer(cell, 1));
                break;
            case Catalogue::W:
                act.act = Act::Wait;
                act.value[0] = double(std::max<qint64>(integer(cell, 1), 0)) / 10.0;
                break;
            case Catalogue::C:
                act.act = Act::Output;
                for (int k = 0; k < 4; ++k)
                    act.outputs[k] = qint8(std::clamp<qint64>(integer(cell, k + 1), -128, 127));
                break;
            case Catalogue::D:
                act.act = Act::Speeds;
                for (int k = 0; k < 3; ++k)
                    act.value[k] = number(cell, k + 1);
                break;
            case Catalogue::P: {
                const qint64 no = integer(cell, 1);
                act.act = no == 8 ? Act::StartSpeed : no == 9 ? Act::MaxSpeed
                        : no == 10 ? Act::AccelTime : Act::None;
                act.value[0] = number(cell, 2);
                break;
            }
            case Catalogue::U99:
                c.ends = true;
                break;
            default:
                break;
            }
        }
    }
}

ControlState Runner::startState() const
{
    ControlState s;
    s.counters.assign(m_loopSteps.size(), 0);
    return s;
}

Outcome Runner::advance(ControlState &s) const
{
    const Compiled &c = m_steps[size_t(s.step)];
    auto goTo = [&](qint64 target) {
        if (target < 0 || target >= qint64(m_steps.size()))
            return Outcome::Out;
        s.step = int(target);
        return Outcome::Next;
    };
    switch (c.flow) {
    case Flow::Jump:
        return goTo(c.target);
    case Flow::Input: {
        const int state = c.inputAxis >= 0 ? m_inputs[size_t(c.inputAxis)] : 0;
        return goTo(state == c.inputState ? c.target : s.step + 1);
    }
    case Flow::Loop: {
        qint64 &counter = s.counters[size_t(c.loop)];
        const qint64 next = counter < c.count ? counter + 1 : 0;
        if (counter != 0)
            s.hash ^= counterKey(c.loop, counter);
        if (next != 0)
            s.hash ^= counterKey(c.loop, next);
        counter = next;
        return goTo(next != 0 ? c.target : s.step + 1);
    }
    case Flow::Cells:
        if (c.ends)
            return Outcome::End;
        break;
    case Flow::Comment:
        break;
    }
    return goTo(s.step + 1);
}

double Runner::perform(int step, double start, qint32 executed, Result *record)
{
    const Compiled &c = m_steps[size_t(step)];
    double duration = 0;
    std::array<Shape, kAxes> shapes{};
    std::array<double, kAxes> targets = m_positions;
    int lead = -1; // the BGO: axis that needs longest
    bool together = false;

    for (int a = 0; a < c.cells; ++a) {
        const Action &act = c.actions[size_t(a)];
        Profile &profile = m_profiles[size_t(a)];
        switch (act.act) {
        case Act::MoveTo:
        case Act::MoveBy:
        case Act::MoveTogether:
            targets[a] = act.act == Act::MoveBy ? m_positions[a] + act.value[0] : act.value[0];
            shapes[a] = shapeFor(std::fabs(targets[a] - m_positions[a]), profile);
            if (act.act == Act::MoveTogether) {
                together = true;
                if (lead < 0 || shapes[a].total > shapes[size_t(lead)].total)
                    lead = a;
            }
            duration = std::max(duration, shapes[a].total);
            break;
        case Act::Wait:
            duration = std::max(duration, act.value[0]);
            if (record) {
                MotionPreview::Mark m;
                m.kind = MotionPreview::Mark::Kind::Wait;
                m.time = start;
                m.duration = act.value[0];
                m.executed = executed;
                m.step = step;
                m.axis = a + 1;
                record->marks.append(m);
            }
            break;
        case Act::Output:
            if (record) {
                MotionPreview::Mark m;
                m.time = start;
                m.executed = executed;
                m.step = step;
                m.axis = a + 1;
                m.outputs = act.outputs;
                record->marks.append(m);
            }
            break;
        case Act::Speeds:
            profile = sane({act.value[0], act.value[1], act.value[2]});
            break;
        case Act::StartSpeed:
            profile.startSpeed = bounded(act.value[0], kMinSpeed, kMaxSpeed);
            break;
        case Act::MaxSpeed:
            profile.maxSpeed = bounded(act.value[0], kMinSpeed, kMaxSpeed);
            break;
        case Act::AccelTime:
            profile.accelTime = bounded(act.value[0], 0, kMaxAccelTime);
            break;
        case Act::None:
            break;
        }
    }

    // The other BGO: axes follow the lead in proportion to their distances.
    if (together) {
        const Shape leadShape = shapes[size_t(lead)];
        const double leadDistance = std::fabs(targets[lead] - m_positions[lead]);
        for (int a = 0; a < c.cells; ++a) {
            if (a == lead || c.actions[size_t(a)].act != Act::MoveTogether)
                continue;
            const double d = std::fabs(targets[a] - m_positions[a]);
            if (!(d > 0))
                continue;
            const double k = d / leadDistance;
            shapes[a] = leadShape;
            shapes[a].startSpeed *= k;
            shapes[a].peakSpeed *= k;
        }
    }

    for (int a = 0; a < c.cells; ++a) {
        const Shape &s = shapes[size_t(a)];
        if (record && s.total > 0) {
            MotionPreview::Move m;
            m.executed = executed;
            m.axis = a + 1;
            m.start = start;
            m.accelEnd = start + s.accel;
            m.cruiseEnd = start + s.accel + s.cruise;
            m.end = start + s.total;
            m.from = m_positions[a];
            m.to = targets[a];
            m.startSpeed = s.startSpeed;
            m.peakSpeed = s.peakSpeed;
            record->moves.append(m);
        }
        m_positions[a] = targets[a];
    }
    return duration;
}

// Brent's cycle search over the control flow alone, which depends on
// nothing the motion does: the first executed step `first` from which it
// repeats with `length` steps per repetition. False when the run ends or no
// repetition shows within `limit` steps.
bool findRepetition(const Runner &runner, qint64 limit, qint64 *first, qint64 *length, int *step)
{
    auto stops = [](Outcome o) { return o == Outcome::End || o == Outcome::Out; };
    ControlState tortoise = runner.startState();
    ControlState hare = tortoise;
    if (stops(runner.advance(hare)))
        return false;
    qint64 power = 1, lambda = 1, walked = 1;
    while (!(tortoise == hare)) {
        if (power == lambda) {
            tortoise = hare;
            power *= 2;
            lambda = 0;
        }
        if (stops(runner.advance(hare)) || ++walked > limit)
            return false;
        ++lambda;
    }
    tortoise = runner.startState();
    hare = tortoise;
    for (qint64 i = 0; i < lambda; ++i)
        runner.advance(hare);
    qint64 mu = 0;
    while (!(tortoise == hare)) {
        runner.advance(tortoise);
        runner.advance(hare);
        ++mu;
    }
    *first = mu;
    *length = lambda;
    *step = tortoise.step;
    return true;
}

} // namespace

double MotionPreview::Move::positionAt(double t) const
{
    if (!(t > start))
        return from;
    if (t >= end)
        return to;
    const double distance = std::fabs(to - from);
    const double up = accelEnd - start;
    const double down = end - cruiseEnd;
    double travelled;
    if (t <= accelEnd) {
        const double tau = t - start;
        travelled = startSpeed * tau + (peakSpeed - startSpeed) / (2 * up) * tau * tau;
    } else if (t <= cruiseEnd) {
        travelled = (startSpeed + peakSpeed) / 2 * up + peakSpeed * (t - accelEnd);
    } else {
        const double rest = end - t;
        travelled = distance - (startSpeed * rest + (peakSpeed - startSpeed) / (2 * down) * rest * rest);
    }
    travelled = std::clamp(travelled, 0.0, distance);
    return to >= from ? from + travelled : from - travelled;
}

double MotionPreview::Result::positionAt(int axis, double t) const
{
    if (axis < 1 || axis > kMaxAxes)
        return 0;
    const size_t a = size_t(axis - 1);
    // The last step that started at t or before: zero-time steps that
    // share its start moved nothing.
    const auto step = std::upper_bound(executed.cbegin(), executed.cend(), t,
                                       [](double time, const ExecutedStep &e) { return time < e.start; });
    if (step == executed.cbegin())
        return startPosition[a];
    const qint32 index = qint32(step - executed.cbegin() - 1);
    const auto move = std::lower_bound(moves.cbegin(), moves.cend(), std::pair(index, axis),
                                       [](const Move &m, std::pair<qint32, int> key) {
                                           return std::pair(m.executed, int(m.axis)) < key;
                                       });
    if (move != moves.cend() && move->executed == index && move->axis == axis)
        return move->positionAt(t);
    return executed.at(index).endPosition[a];
}

MotionPreview::Result MotionPreview::run(const Catalogue &catalogue, int axisCount,
                                         const QList<ProgStep> &steps, const Options &options)
{
    Runner runner(catalogue, axisCount, steps, options);
    Result r;
    r.axisCount = std::clamp(axisCount, 1, kMaxAxes);
    r.startPosition = runner.positions();
    r.stepTotals.resize(runner.stepCount());
    for (int loop = 0; loop < runner.loopCount(); ++loop) {
        const Compiled &c = runner.compiled(runner.loopStep(loop));
        r.loops.append({runner.loopStep(loop), int(std::clamp<qint64>(c.target, -1, 9999)), c.count,
                        0, 0});
    }

    const qint64 budget = std::clamp<qint64>(options.stepBudget, 1, kMaxStepBudget);
    ControlState state = runner.startState();
    double time = 0;
    r.stopReason = StopReason::PastLastStep;
    if (runner.stepCount() > 0) {
        for (;;) {
            if (r.executed.size() >= budget) {
                r.stopReason = StopReason::StepBudget;
                break;
            }
            const int step = state.step;
            const qint32 index = qint32(r.executed.size());
            const double duration = runner.perform(step, time, index, &r);
            r.executed.append({step, time, duration, runner.positions()});
            StepTotal &total = r.stepTotals[step];
            ++total.runs;
            total.time += duration;
            time += duration;
            r.stopStep = step;

            const Outcome outcome = runner.advance(state);
            if (const int loop = runner.compiled(step).loop; loop >= 0) {
                if (state.counters[size_t(loop)] != 0)
                    ++r.loops[loop].repeats;
                else
                    ++r.loops[loop].completions;
            }
            if (outcome == Outcome::End) {
                r.stopReason = StopReason::ProgramEnd;
                break;
            }
            if (outcome == Outcome::Out)
                break;
        }
    }
    r.cycleTime = time;
    r.endPosition = runner.positions();
    if (r.stopReason != StopReason::StepBudget)
        return r;

    // Where the budget ran out: look for the repetition in the control
    // flow, then time one settled pass of it (the second or a later one).
    qint64 first = 0, length = 0;
    int step = 0;
    if (!findRepetition(runner, 4 * budget + 4, &first, &length, &step))
        return r;
    r.repeatStep = step;
    r.repeatFirst = first;
    r.repeatLength = length;
    const qint64 ran = r.executed.size();
    auto startOf = [&](qint64 i) { return i < ran ? r.executed.at(i).start : r.cycleTime; };
    if (first + 2 * length <= ran) {
        const qint64 last = first + (ran - first) / length * length;
        r.repeatPeriod = startOf(last) - startOf(last - length);
        return r;
    }
    // The second pass ends after the budget: run on to it, unrecorded.
    double passStart = startOf(std::min(first + length, ran));
    for (qint64 i = ran; i < first + 2 * length; ++i) {
        if (i == first + length)
            passStart = time;
        time += runner.perform(state.step, time, qint32(i), nullptr);
        const Outcome outcome = runner.advance(state);
        if (outcome == Outcome::End || outcome == Outcome::Out)
            break; // cannot happen on a repetition; keep what was timed
    }
    r.repeatPeriod = std::max(0.0, time - passStart);
    return r;
}
