#pragma once

#include "program/FileDialogs.h"

class QWidget;

// The file dialogs shown as modal QFileDialog windows.
class QtFileDialogs : public FileDialogs
{
public:
    explicit QtFileDialogs(QWidget *parent) : m_parent(parent) {}

    QString askSaveFileName(const QString &folder, const QString &fileName,
                            const QList<Filter> &filters) override;
    QString askOpenFileName(const QList<Filter> &filters) override;
    QString askFolder(const QString &title) override;

    // A Qt name filter from a description and a pattern: the description as
    // it is when it already ends with the pattern in brackets, else with it.
    static QString nameFilter(const QString &description, const QString &pattern);
    // The filters as one Qt filter list, ";;" between them.
    static QString nameFilters(const QList<Filter> &filters);
    // The suffix a name typed without one is given when saving under a
    // filter's pattern: "txt" for "*.txt"; none for "*" or several patterns.
    static QString defaultSuffix(const QString &pattern);

private:
    QWidget *m_parent;
};
