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

QString QtFileDialogs::askSaveFileName(const QString &folder, const QString &fileName,
                                       const QString &description, const QString &pattern)
{
    const QString start = folder.isEmpty() ? fileName : QDir(folder).filePath(fileName);
    // The path is taken exactly as chosen: no extension is added.
    return QFileDialog::getSaveFileName(m_parent, QString(), start, nameFilter(description, pattern));
}

QString QtFileDialogs::askOpenFileName(const QString &description, const QString &pattern)
{
    return QFileDialog::getOpenFileName(m_parent, QString(), QString(), nameFilter(description, pattern));
}
