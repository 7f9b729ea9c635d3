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
    QFileDialog dialog(m_parent, QString(), start, nameFilters(filters));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without a suffix gets the chosen filter's, before the
    // dialog asks about overwriting, so that File > Open lists the file.
    auto follow = [&dialog, &filters](const QString &chosen) {
        for (const Filter &f : filters)
            if (nameFilter(f.description, f.pattern) == chosen)
                dialog.setDefaultSuffix(defaultSuffix(f.pattern));
    };
    follow(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

QString QtFileDialogs::defaultSuffix(const QString &pattern)
{
    const QString p = pattern.trimmed();
    if (!p.startsWith(QLatin1String("*.")) || p.contains(u' ') || p.contains(u';'))
        return QString();
    const QString suffix = p.mid(2);
    return suffix.contains(u'*') || suffix.contains(u'?') ? QString() : suffix;
}

QString QtFileDialogs::askOpenFileName(const QList<Filter> &filters)
{
    return QFileDialog::getOpenFileName(m_parent, QString(), QString(), nameFilters(filters));
}

QString QtFileDialogs::askFolder(const QString &title)
{
    return QFileDialog::getExistingDirectory(m_parent, title);
}
