// The upload line reader: many lines into one table, then the steps made
// from it, which must also survive a trip through the program file.
//
// Input: byte 0 picks the axis count (1..3), the rest is the upload, one
// line per "\n".

#include "FuzzSupport.h"

#include "config/ControllerType.h"
#include "program/ProgramFile.h"
#include "program/mdlUpLoad.h"

#include <algorithm>
#include <cstddef>
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
    const int axes = 1 + data[0] % 3;
    const QByteArray upload(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const Catalogue &cat = fuzz::catalogue();

    mdlUpLoad up(cat);
    up.initUpload(axes);
    FUZZ_CHECK(up.upStep() == 1 && up.upAxisCount() == axes, "initUpload");
    int accepted = 0;
    for (const QByteArray &line : upload.split('\n')) {
        const int before = up.upStep();
        const bool ok = up.bTakeUploadLine(line);
        FUZZ_CHECK(up.upStep() == before + (ok ? 1 : 0), "step counter out of step with the answer");
        FUZZ_CHECK(!ok || before <= mdlUpLoad::kMaxSteps, "a line taken into a full table");
        accepted += ok ? 1 : 0;
    }

    const QList<ProgStep> steps = up.finishUpload();
    const int capacity = axes == 1 ? mdlUpLoad::kOneAxisSteps : mdlUpLoad::kMaxSteps;
    FUZZ_CHECK(steps.size() == std::min(accepted, capacity),
               QStringLiteral("%1 steps from %2 lines").arg(steps.size()).arg(accepted));
    fuzz::checkSteps(steps, axes);

    // Saved as a program file: when the reader takes the file at all, it
    // must give back what was uploaded (values the file does not allow are
    // refused there, which is no fault of the upload).
    const QByteArray file = ProgramFile::writeProgram(cat, axes, steps);
    const Result r = ProgramFile::readProgram(cat, file, axes, ControllerType::maxStepFor(axes));
    if (r.status == Result::Ok) {
        const QList<ProgStep> expected = fuzz::trimmedSteps(steps);
        FUZZ_CHECK(r.steps == expected, "uploaded steps changed by the file:\n" + fuzz::describe(expected)
                                            + "\nread back as\n" + fuzz::describe(r.steps));
    }
    return 0;
}
