// The program file reader, with a write-back round trip: whatever it
// accepts, written again and read again, gives the same steps and bytes.
//
// Input: byte 0 picks the expected axis count and the step capacity, the
// rest is the file.

#include "FuzzSupport.h"

#include "program/ProgramFile.h"

#include <cstddef>
#include <iterator>
#include <cstdint>

using Result = ProgramFile::ReadResult;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::catalogue();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static constexpr int kMaxSteps[] = {1, 2, 3, 100, 200};
    const int axes = 1 + data[0] % 3;
    const int maxStep = kMaxSteps[(data[0] / 3) % std::size(kMaxSteps)];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const Catalogue &cat = fuzz::catalogue();

    const Result r = ProgramFile::readProgram(cat, bytes, axes, maxStep);
    if (r.status != Result::Ok) {
        FUZZ_CHECK(r.steps.isEmpty(), "a refused file left steps");
        FUZZ_CHECK(r.line >= 1 && !r.reason.isEmpty(), "refused without line or reason");
        return 0;
    }
    FUZZ_CHECK(r.axisCount == axes, "accepted with another axis count");
    FUZZ_CHECK(r.steps.size() <= maxStep, "more steps than the capacity");
    FUZZ_CHECK(r.ignoredLines == 0 || r.steps.size() == maxStep, "lines ignored below the capacity");
    fuzz::checkSteps(r.steps, axes);

    const QByteArray written = ProgramFile::writeProgram(cat, axes, r.steps);
    const Result again = ProgramFile::readProgram(cat, written, axes, maxStep);
    FUZZ_CHECK(again.status == Result::Ok,
               QStringLiteral("written file refused, line %1: %2\n%3")
                   .arg(again.line).arg(again.reason, QString::fromLatin1(written.toHex(' '))));
    FUZZ_CHECK(again.ignoredLines == 0, "written file has ignored lines");
    const QList<ProgStep> expected = fuzz::trimmedSteps(r.steps);
    FUZZ_CHECK(again.steps == expected,
               "steps changed by writing:\n" + fuzz::describe(expected) + "\nread back as\n"
                   + fuzz::describe(again.steps));
    FUZZ_CHECK(ProgramFile::writeProgram(cat, axes, again.steps) == written,
               "second write differs from the first");
    return 0;
}
