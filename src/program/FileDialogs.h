#pragma once

#include <QString>

// The open and save file dialogs as the program files see them. The
// application shows the real dialogs; tests answer from a script.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // Asks where to save, starting in `folder` (empty: the dialog's choice)
    // with `fileName` filled in; prompts before overwriting an existing file.
    // An empty result means the user cancelled.
    virtual QString askSaveFileName(const QString &folder, const QString &fileName,
                                    const QString &description, const QString &pattern) = 0;
    // Asks for an existing file to open; empty when cancelled.
    virtual QString askOpenFileName(const QString &description, const QString &pattern) = 0;
};
