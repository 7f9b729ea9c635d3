#pragma once

#include <QString>
#include <QStringList>

// The files last opened or saved, most recent first, kept in recent.cfg in
// the settings folder:
//
//   [Recent]
//   File1=/home/user/programs/a.txt
//   File2=...
//
// code page 932 with CR LF line ends, paths stored through PathText. The
// file is read and written whole (paths can be longer than the 255 bytes
// the settings reader returns of a value).
class RecentFiles
{
public:
    static constexpr int kMaxFiles = 8;
    static constexpr const char *kFileName = "recent.cfg";

    // The list kept in the file at `path`.
    explicit RecentFiles(const QString &path) : m_path(path) {}

    // Reads the list from the file; a missing or unreadable file gives an
    // empty list. Entries are taken in the order of their numbers; empty
    // ones, repeats and those past the eighth are dropped.
    void load();
    // Writes the list to the file, atomically. False with the reason in
    // *error when it could not be written.
    bool save(QString *error = nullptr) const;

    // Puts the path at the front: a path already in the list moves there,
    // and the oldest entry beyond eight falls off.
    void add(const QString &path);
    // Takes the path out of the list; false when it was not in it.
    bool remove(const QString &path);

    QStringList files() const { return m_files; }
    QString path() const { return m_path; }

    // True when both name the same file (the file system's letter case
    // rules, separators and "." / ".." steps aside).
    static bool samePath(const QString &a, const QString &b);

private:
    QString m_path;
    QStringList m_files;
};
