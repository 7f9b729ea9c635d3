#pragma once

#include "program/FileDialogs.h"

#include <QList>
#include <QStringList>

// Answers the file dialogs from a script and records what was asked.
class ScriptedFileDialogs : public FileDialogs
{
public:
    struct Asked
    {
        bool save;
        QString folder;
        QString fileName;
        QString description;
        QString pattern;
    };

    QString askSaveFileName(const QString &folder, const QString &fileName,
                            const QString &description, const QString &pattern) override
    {
        asked.append({true, folder, fileName, description, pattern});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString askOpenFileName(const QString &description, const QString &pattern) override
    {
        asked.append({false, QString(), QString(), description, pattern});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers; // taken in order; when empty the dialog is cancelled
    QList<Asked> asked;
};
