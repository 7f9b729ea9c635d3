#include "ProgramProblems.h"

#include "Catalogue.h"
#include "ProgramDocument.h"
#include "config/NumberText.h"
#include "config/clsIniFile.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <vector>

namespace {

using Kind = ProgramProblems::Kind;
using Problem = ProgramProblems::Problem;

constexpr int kNone = -1;

// The grid's label of a 0-based step index.
QString label(qint64 index)
{
    return ProgramDocument::stepLabel(int(std::clamp<qint64>(index, -1, 9999)) + 1);
}

bool isMove(int cmd)
{
    return cmd == Catalogue::AGO || cmd == Catalogue::BGO || cmd == Catalogue::MGO
        || cmd == Catalogue::H || cmd == Catalogue::R;
}

// The controller parameters it takes as an axis's speeds: start speed,
// maximum speed and acceleration time, the three values of D:.
bool isSpeedParam(const ProgCell &cell)
{
    const qint64 no = NumberText::leadingInteger(cell.param(1));
    return no >= 8 && no <= 10;
}

// What one step does to the control flow and whether it can pass time.
struct Flow
{
    std::array<int, 2> next{kNone, kNone}; // successor steps inside the program
    bool leaves = false;                   // a way out of the program as well
    bool busy = false;                     // moves, waits or reads an input
};

// Tarjan's strongly connected components of the steps reached from step 0,
// without recursion so that the depth of the walk never matters. A step
// that is never reached keeps component kNone.
std::vector<int> componentsFromStart(const std::vector<Flow> &flow)
{
    const int n = int(flow.size());
    std::vector<int> component(n, kNone);
    if (n == 0)
        return component;
    std::vector<int> index(n, kNone), low(n, 0);
    std::vector<char> onStack(n, 0);
    std::vector<int> stack;
    struct Frame { int step; int slot; };
    std::vector<Frame> calls;
    int counter = 0;
    int components = 0;

    auto enter = [&](int v) {
        index[v] = low[v] = counter++;
        stack.push_back(v);
        onStack[v] = 1;
        calls.push_back({v, 0});
    };
    enter(0);
    while (!calls.empty()) {
        Frame &f = calls.back();
        const int v = f.step;
        if (f.slot < 2) {
            const int w = flow[v].next[f.slot++];
            if (w == kNone)
                continue;
            if (index[w] == kNone)
                enter(w); // f is not used after this: the vector may grow
            else if (onStack[w])
                low[v] = std::min(low[v], index[w]);
            continue;
        }
        calls.pop_back();
        if (!calls.empty())
            low[calls.back().step] = std::min(low[calls.back().step], low[v]);
        if (low[v] == index[v]) {
            int w;
            do {
                w = stack.back();
                stack.pop_back();
                onStack[w] = 0;
                component[w] = components;
            } while (w != v);
            ++components;
        }
    }
    return component;
}

// "003-005, 009": the steps of a loop as runs of consecutive labels.
QString stepRuns(const QStringList &labels)
{
    QStringList runs;
    for (qsizetype i = 0; i < labels.size();) {
        qsizetype j = i;
        while (j + 1 < labels.size() && labels.at(j + 1).toInt() == labels.at(j).toInt() + 1)
            ++j;
        runs << (j == i ? labels.at(i) : labels.at(i) + u'-' + labels.at(j));
        i = j + 1;
    }
    return runs.join(QLatin1String(", "));
}

// Text numbers of section [Problems], with the words used when the language
// file lacks them.
struct Wording
{
    int number;
    const char *english;
};
constexpr Wording kJumpPastEnd{1, "jump target %1 is past the last step %2"};
constexpr Wording kLoopNotBackward{2, "loop return step %1 is not before this step"};
constexpr Wording kInputAxisMissing{3, "input jump on axis %1, which this program does not have"};
constexpr Wording kNeverRunsOne{4, "this step can never run"};
constexpr Wording kNeverRunsMany{5, "steps %1 to %2 can never run"};
constexpr Wording kEndlessOne{6, "endless loop: this step repeats forever without moving or waiting"};
constexpr Wording kEndlessMany{7, "endless loop: steps %1 repeat forever without moving or waiting"};
constexpr Wording kMoveBeforeSpeed{8, "%1 moves the axis before any speed is set for it (D:, or P: 8 to 10)"};

} // namespace

QString ProgramProblems::Problem::stepLabel() const
{
    return label(step);
}

QString ProgramProblems::Problem::axisLetter() const
{
    return axis >= 1 ? QString(QChar(u'A' + (axis - 1))) : QString();
}

ProgramProblems::Severity ProgramProblems::severity(Kind kind)
{
    // A move before a speed may rely on speeds the controller already
    // holds from its parameter settings; everything else is wrong whatever
    // the controller holds.
    return kind == Kind::MoveBeforeSpeed ? Severity::Information : Severity::Warning;
}

QString ProgramProblems::kindId(Kind kind)
{
    switch (kind) {
    case Kind::JumpPastEnd: return QStringLiteral("jump-past-end");
    case Kind::LoopNotBackward: return QStringLiteral("loop-not-backward");
    case Kind::InputAxisMissing: return QStringLiteral("input-axis-missing");
    case Kind::NeverRuns: return QStringLiteral("never-runs");
    case Kind::EndlessIdleLoop: return QStringLiteral("endless-idle-loop");
    case Kind::MoveBeforeSpeed: return QStringLiteral("move-before-speed");
    }
    return QString();
}

QList<ProgramProblems::Problem> ProgramProblems::find(const Catalogue &catalogue, int axisCount,
                                                      const QList<ProgStep> &steps)
{
    QList<Problem> problems;
    auto add = [&](Kind kind, int step, int axis, const QStringList &args) {
        problems.append(Problem{kind, severity(kind), step, axis, args, QString()});
    };

    axisCount = std::clamp(axisCount, 1, 3);
    const int n = int(steps.size());
    const qint64 last = n - 1;
    std::vector<Flow> flow(n);
    std::array<bool, 4> speedSet{};
    std::array<bool, 4> moveReported{};

    for (int i = 0; i < n; ++i) {
        const ProgStep &step = steps.at(i);
        const ProgCell first = step.value(0);
        Flow &f = flow[i];
        auto jumpTo = [&](int slot, qint64 target) {
            if (target >= 0 && target <= last)
                f.next[slot] = int(target);
            else
                f.leaves = true;
        };
        auto fallThrough = [&](int slot) { jumpTo(slot, i + 1); };
        auto checkTarget = [&](qint64 target) {
            if (target > last)
                add(Kind::JumpPastEnd, i, 1, {label(target), label(last)});
        };

        switch (first.cmd) {
        case Catalogue::U01: {
            const qint64 target = NumberText::leadingInteger(first.param(1));
            checkTarget(target);
            jumpTo(0, target);
            continue;
        }
        case Catalogue::U02: {
            const qint64 target = NumberText::leadingInteger(first.param(3));
            // The reader takes "A" to "F" in either case (and texts that
            // sort between them); the first letter names the axis.
            const QString letter = trimSpaces(first.param(1)).left(1).toUpper();
            const int axis = letter.isEmpty() ? 0 : letter.at(0).unicode() - u'A' + 1;
            if (axis < 1 || axis > axisCount)
                add(Kind::InputAxisMissing, i, 1, {letter});
            checkTarget(target);
            fallThrough(0);
            jumpTo(1, target);
            f.busy = true; // waits on the input as long as it is not there
            continue;
        }
        case Catalogue::U03: {
            const qint64 target = NumberText::leadingInteger(first.param(1));
            checkTarget(target);
            if (target >= i && target <= last)
                add(Kind::LoopNotBackward, i, 1, {label(target)});
            fallThrough(0);
            jumpTo(1, target);
            continue;
        }
        default:
            break;
        }

        // A step sent as one command (a comment) does nothing else.
        const bool once = catalogue.isSendOnce(first.cmd);
        const int cells = once ? 1 : std::min(axisCount, int(step.size()));
        bool ends = false;
        for (int axis = 1; axis <= cells; ++axis) {
            const ProgCell &cell = step.at(axis - 1);
            const int cmd = cell.cmd;
            if (cmd == Catalogue::U99)
                ends = true;
            else if (cmd == Catalogue::W)
                f.busy = true;
            else if (cmd == Catalogue::D || (cmd == Catalogue::P && isSpeedParam(cell)))
                speedSet[axis] = true;
            else if (isMove(cmd)) {
                f.busy = true;
                if (!speedSet[axis] && !moveReported[axis]) {
                    moveReported[axis] = true;
                    add(Kind::MoveBeforeSpeed, i, axis, {catalogue.mnemonic(cmd)});
                }
            }
        }
        if (!ends)
            fallThrough(0);
    }

    // Steps no path from step 000 reaches, one problem per run of them.
    const std::vector<int> component = componentsFromStart(flow);
    for (int i = 0; i < n;) {
        if (component[i] != kNone) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 < n && component[j + 1] == kNone)
            ++j;
        add(Kind::NeverRuns, i, 0, {label(i), label(j)});
        i = j + 1;
    }

    // A component the flow cannot leave keeps the program in it for good:
    // a fault when it is a loop in which nothing moves, waits or reads.
    const int components = n == 0 ? 0 : *std::max_element(component.begin(), component.end()) + 1;
    std::vector<char> open(components, 0), busy(components, 0), cyclic(components, 0);
    std::vector<int> size(components, 0);
    for (int i = 0; i < n; ++i) {
        const int c = component[i];
        if (c == kNone)
            continue;
        ++size[c];
        busy[c] |= flow[i].busy;
        open[c] |= flow[i].leaves;
        for (int w : flow[i].next) {
            if (w == kNone)
                continue;
            if (component[w] != c)
                open[c] = 1;
            else if (w == i)
                cyclic[c] = 1;
        }
    }
    std::vector<QStringList> members(components);
    std::vector<int> firstStep(components, kNone);
    for (int i = 0; i < n; ++i) {
        const int c = component[i];
        if (c == kNone || open[c] || busy[c] || !(cyclic[c] || size[c] > 1))
            continue;
        if (firstStep[c] == kNone)
            firstStep[c] = i;
        members[c] << label(i);
    }
    for (int c = 0; c < components; ++c) {
        if (firstStep[c] != kNone)
            add(Kind::EndlessIdleLoop, firstStep[c], 0, members[c]);
    }

    std::stable_sort(problems.begin(), problems.end(), [](const Problem &a, const Problem &b) {
        if (a.step != b.step)
            return a.step < b.step;
        if (a.axis != b.axis)
            return a.axis < b.axis;
        return a.kind < b.kind;
    });
    return problems;
}

QList<ProgramProblems::Problem> ProgramProblems::find(const Catalogue &catalogue, int axisCount,
                                                      const QList<ProgStep> &steps,
                                                      const clsIniFile &lang)
{
    QList<Problem> problems = find(catalogue, axisCount, steps);
    describe(problems, lang);
    return problems;
}

void ProgramProblems::describe(QList<Problem> &problems, const clsIniFile &lang)
{
    // The file is read anew for every key: ask once per wording.
    QHash<int, QString> read;
    auto words = [&](const Wording &w) {
        auto it = read.constFind(w.number);
        if (it == read.cend()) {
            QString text = lang.GetINIStr(QStringLiteral("Problems"),
                                          clsIniFile::numberedKey(u"Mes", w.number));
            if (text.isEmpty())
                text = QString::fromLatin1(w.english);
            it = read.insert(w.number, text);
        }
        return *it;
    };

    for (Problem &p : problems) {
        const QStringList &a = p.args;
        switch (p.kind) {
        case Kind::JumpPastEnd:
            p.text = words(kJumpPastEnd).arg(a.value(0), a.value(1));
            break;
        case Kind::LoopNotBackward:
            p.text = words(kLoopNotBackward).arg(a.value(0));
            break;
        case Kind::InputAxisMissing:
            p.text = words(kInputAxisMissing).arg(a.value(0));
            break;
        case Kind::NeverRuns:
            p.text = a.value(0) == a.value(1) ? words(kNeverRunsOne)
                                              : words(kNeverRunsMany).arg(a.value(0), a.value(1));
            break;
        case Kind::EndlessIdleLoop:
            p.text = a.size() == 1 ? words(kEndlessOne) : words(kEndlessMany).arg(stepRuns(a));
            break;
        case Kind::MoveBeforeSpeed:
            p.text = words(kMoveBeforeSpeed).arg(a.value(0));
            break;
        }
    }
}
