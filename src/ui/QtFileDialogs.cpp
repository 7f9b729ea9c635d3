#include "QtFileDialogs.h"

#include <QDir>
#include <QFileDialog>

QString QtFileDialogs::nameFilter(const QString &description, const QString &pattern)
{
    const QString bracketed = u'(' + pattern + u')';
    if (description.trimmed().endsWith(bracketed))
        return description.trimmed();
    if (description.trimmed().isEmpty())
        return bracketed;
    return description.trimmed() + u' ' + bracketed;
}

QString QtFileDialogs::nameFilters(const QList<Filter> &filters)
{
    QStringList list;
    for (const Filter &f : filters)
        list << nameFilter(f.description, f.pattern);
    return list.join(QStringLiteral(";;"));
}

QString QtFileDialogs::askSaveFileName(const QString &folder, const QString &fileName,
                                       const QList<Filter> &filters)
{
    const QString start = folder.isEmpty() ? fileName : QDir(folder).filePath(fileName);
    // The path is taken exactly as chosen: no extension is added.
    return QFileDialog::getSaveFileName(m_parent, QString(), start, nameFilters(filters));
}

QString QtFileDialogs::askOpenFileName(const QList<Filter> &filters)
{
    return QFileDialog::getOpenFileName(m_parent, QString(), QString(), nameFilters(filters));
}
