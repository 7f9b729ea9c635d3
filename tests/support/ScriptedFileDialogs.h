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
        QString description; // of the first filter
        QString pattern;     // of the first filter
        QList<Filter> filters;
    };

    QString askSaveFileName(const QString &folder, const QString &fileName,
                            const QList<Filter> &filters) override
    {
        asked.append({true, folder, fileName, first(filters).description, first(filters).pattern, filters});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString askOpenFileName(const QList<Filter> &filters) override
    {
        asked.append({false, QString(), QString(), first(filters).description, first(filters).pattern, filters});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString askFolder(const QString &title) override
    {
        asked.append({false, QString(), title, QString(), QString(), {}});
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers; // taken in order; when empty the dialog is cancelled
    QList<Asked> asked;

private:
    static Filter first(const QList<Filter> &filters) { return filters.value(0); }
};
