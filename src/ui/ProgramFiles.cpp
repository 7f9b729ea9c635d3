#include "ProgramFiles.h"

#include "FrmProg.h"
#include "config/AtomicFile.h"
#include "config/Messages.h"
#include "config/clsIniFile.h"
#include "program/FileDialogs.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"

#include <QDir>
#include <QFileInfo>

namespace {
// The pattern of program files, whatever the description says.
const QString kPattern = QStringLiteral("*.txt");
}

QList<FileDialogs::Filter> ProgramFiles::fileFilters(bool allFiles) const
{
    const QString section = QStringLiteral("Tool");
    QList<FileDialogs::Filter> filters{{m_langIni.GetINIStr(section, QStringLiteral("Mes000")), kPattern}};
    // Saving offers the text files only: a name typed without a suffix is
    // given ".txt". Opening also lists every file.
    if (allFiles)
        filters.append({m_langIni.GetINIStr(section, QStringLiteral("Mes900")), QStringLiteral("*")});
    return filters;
}

bool ProgramFiles::saveProgram(FrmProg *form, bool saveAs)
{
    if (!form)
        return false;
    QString path = form->getFileName(true);
    if (!path.contains(u'/') || saveAs) {
        path = askSaveFileName(path);
        if (path.isEmpty())
            return false;
    }

    const QByteArray bytes =
        ProgramFile::writeProgram(m_catalogue, form->getAxis(), form->document()->steps());

    // Written beside the old file and put in its place only when complete,
    // so a failure at any point leaves the old file whole.
    QString reason;
    if (!AtomicFile::write(path, bytes, &reason)) {
        reportFileError("Mes052", path, reason);
        return false;
    }
    form->setFileName(path);
    form->setDirty(false);
    warnRefusedCells(form);
    return true;
}

void ProgramFiles::warnRefusedCells(FrmProg *form)
{
    if (form->refusalWarned())
        return;
    const QList<ProgStep> steps = form->document()->steps();
    for (qsizetype s = 0; s < steps.size(); ++s) {
        for (qsizetype a = 0; a < steps.at(s).size(); ++a) {
            if (ProgramFile::cellFault(m_catalogue, steps.at(s).at(a)).isEmpty())
                continue;
            form->setRefusalWarned();
            // The step as the grid numbers it, the axis by its column title.
            const QString step = ProgramDocument::stepLabel(int(s) + 1);
            const QString axis = m_langIni.GetINIStr(QStringLiteral("FrmProg"),
                                                     clsIniFile::numberedKey(u"Mes", int(a) + 2));
            const QString text = m_langIni.GetINIStr(QStringLiteral("MsgBox"), QStringLiteral("Mes062"));
            m_messages.show(MsgKind::Warning, MsgButtons::Ok,
                            text.contains(QLatin1String("%2")) ? text.arg(step, axis) : text);
            return;
        }
    }
}

QString ProgramFiles::askSaveFileName(const QString &currentName)
{
    QString folder;
    QString name = currentName;
    const qsizetype slash = currentName.lastIndexOf(u'/');
    if (slash >= 0) {
        folder = currentName.left(slash);
        if (folder.isEmpty())
            folder = QStringLiteral("/");
        name = currentName.mid(slash + 1);
    }
    return m_dialogs.askSaveFileName(folder, name, fileFilters(false));
}

QString ProgramFiles::askOpenFileName()
{
    return m_dialogs.askOpenFileName(fileFilters(true));
}

FrmProg *ProgramFiles::openProgram(int axisNum, int maxStep)
{
    const QString path = askOpenFileName();
    if (path.isEmpty())
        return nullptr;
    return openProgramFile(path, axisNum, maxStep);
}

FrmProg *ProgramFiles::openProgramFile(const QString &path, int axisNum, int maxStep)
{
    QByteArray bytes;
    QString error;
    if (!ProgramFile::readFileBytes(path, bytes, &error)) {
        reportFileError("Mes053", path, error);
        return nullptr;
    }

    // The whole file is checked before a window is made, so a refused file
    // never leaves a half-built window behind.
    const ProgramFile::ReadResult result = ProgramFile::readProgram(m_catalogue, bytes, axisNum, maxStep);
    if (result.status != ProgramFile::ReadResult::Ok) {
        // The numbered message, then where and why, as velomat-cli check
        // says it.
        const int no = result.status == ProgramFile::ReadResult::BadLine ? 18 : 20;
        m_messages.show(Messages::entry(no).kind, MsgButtons::Ok,
                        m_messages.messageText(no) + QStringLiteral("\n\n")
                            + m_messages.keyText(QStringLiteral("Mes071"))
                                  .arg(QString::number(result.line), result.reason));
        return nullptr;
    }

    FrmProg *form = m_makeNewForm(result.axisCount);
    if (!form)
        return nullptr;
    form->setFileName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    form->document()->putSteps(result.steps);
    form->selectCell(1, 1);
    if (result.ignoredLines > 0) {
        // The program is open as far as it fits; saving it would leave the
        // rest out, so the user is told before anything else happens.
        const QString text = m_langIni.GetINIStr(QStringLiteral("MsgBox"), QStringLiteral("Mes054"));
        m_messages.show(MsgKind::Warning, MsgButtons::Ok,
                        text.contains(QLatin1String("%1")) ? text.arg(result.ignoredLines) : text);
    }
    return form;
}

void ProgramFiles::reportFileError(const char *key, const QString &path, const QString &reason)
{
    const QString text = m_langIni.GetINIStr(QStringLiteral("MsgBox"), QLatin1String(key))
                         + QStringLiteral("\n\n") + QDir::toNativeSeparators(path)
                         + QStringLiteral("\n") + reason;
    m_messages.show(MsgKind::Error, MsgButtons::Ok, text);
}
