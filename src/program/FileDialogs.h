#pragma once

#include <QList>
#include <QString>

// The open and save file dialogs as the program files see them. The
// application shows the real dialogs; tests answer from a script.
class FileDialogs
{
public:
    // A choice of the dialog's file type list: its text and the pattern of
    // the names it shows ("*.txt", "*").
    struct Filter
    {
        QString description;
        QString pattern;
    };

    virtual ~FileDialogs() = default;
    // Asks where to save, starting in `folder` (empty: the dialog's choice)
    // with `fileName` filled in; prompts before overwriting an existing file.
    // The first filter is selected when the dialog opens. An empty result
    // means the user cancelled.
    virtual QString askSaveFileName(const QString &folder, const QString &fileName,
                                    const QList<Filter> &filters) = 0;
    // Asks for an existing file to open; empty when cancelled.
    virtual QString askOpenFileName(const QList<Filter> &filters) = 0;
    // Asks for an existing folder; empty when cancelled.
    virtual QString askFolder(const QString &title) = 0;
};
