#pragma once

#include "program/FileDialogs.h"

#include <QString>

#include <functional>

class Catalogue;
class FrmProg;
class Messages;
class clsIniFile;

// Saving a document window to its program file and opening a program file
// into a new document window.
class ProgramFiles
{
public:
    using MakeForm = std::function<FrmProg *(int axisCount)>;

    ProgramFiles(const Catalogue &catalogue, const clsIniFile &langIni, Messages &messages,
                 FileDialogs &dialogs, MakeForm makeNewForm)
        : m_catalogue(catalogue), m_langIni(langIni), m_messages(messages), m_dialogs(dialogs),
          m_makeNewForm(std::move(makeNewForm)) {}

    // Writes the window's program: to its file when it has been saved before
    // and saveAs is false, else under a name asked from the user. True when
    // the file was written; a cancel or a failure (reported to the user)
    // leaves the old file, the window's name and its dirty state as they were.
    // Once written, a program holding a cell that File > Open refuses (an
    // upload takes such cells as the controller holds them) is warned
    // about, the first time only for each window.
    bool saveProgram(FrmProg *form, bool saveAs);
    // Asks for a save path, starting from the window's current name.
    QString askSaveFileName(const QString &currentName);

    // File > Open: asks for a file and reads it into a new window for the
    // run's axis count and step limit. A refused or unreadable file is
    // reported and leaves no window behind. Returns the new window or null.
    FrmProg *openProgram(int axisNum, int maxStep);
    QString askOpenFileName();
    // Reads the file at `path` into a new window, as openProgram does.
    FrmProg *openProgramFile(const QString &path, int axisNum, int maxStep);

private:
    // The file types the dialogs offer, in the language of the run: program
    // files, then (when `allFiles`) every file.
    QList<FileDialogs::Filter> fileFilters(bool allFiles) const;
    void reportFileError(const char *key, const QString &path, const QString &reason);
    // Warns when the window's program holds a cell File > Open refuses,
    // naming the first one, unless the window has been warned before.
    void warnRefusedCells(FrmProg *form);

    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    Messages &m_messages;
    FileDialogs &m_dialogs;
    MakeForm m_makeNewForm;
};
