#include "RecoveryOffer.h"

#include "config/ProgramFolder.h"
#include "link/AppContext.h"
#include "program/Autosave.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "program/RecoveryClaim.h"
#include "ui/FrmProg.h"

#include <QDir>

QString RecoveryOffer::folder(const AppContext &ctx)
{
    return ProgramFolder::file(ctx.run.settingsFolder, QLatin1String(RecoveryStore::kFolderName));
}

void RecoveryOffer::offer(AppContext &ctx, Autosave &autosave, const std::function<FrmProg *(int)> &makeForm)
{
    if (!autosave.isActive())
        return;
    RecoveryClaim claim(folder(ctx), autosave.sessionName());
    for (const RecoveryClaim::Entry &entry : claim.entries()) {
        const ProgramFile::ReadResult result =
            ProgramFile::readProgram(ctx.catalogue, entry.program, ctx.run.axisNum, ctx.run.maxStep);
        // A document of another controller type waits for a run of that type.
        if (result.status == ProgramFile::ReadResult::WrongAxisCount)
            continue;
        if (result.status != ProgramFile::ReadResult::Ok) {
            RecoveryClaim::discard(entry);
            continue;
        }
        const QString name = QDir::toNativeSeparators(entry.name);
        const QString text = ctx.messages.keyText(QStringLiteral("Mes061"));
        const int answer = ctx.messages.show(
            MsgKind::Question, MsgButtons::YesNo,
            text.contains(QLatin1String("%1")) ? text.arg(name) : u'\'' + name + QStringLiteral("'  ") + text);
        if (answer == MsgAnswer::Yes) {
            // Back as it was: under its old name, modified.
            FrmProg *form = makeForm(result.axisCount);
            form->setFileName(entry.name);
            form->document()->putSteps(result.steps);
            form->setDirty(true);
            form->selectCell(1, 1);
            // This run's copy is on the disk before the old one goes.
            autosave.save(form->document());
            autosave.flush();
            RecoveryClaim::discard(entry);
        } else if (answer == MsgAnswer::No) {
            RecoveryClaim::discard(entry);
        }
        // A box closed without an answer leaves the copy for the next start.
    }
}
