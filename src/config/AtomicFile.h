#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Replaces a file with new content all or nothing: the content goes to a
// new file beside it, which takes the old one's place only once every byte
// is on the disk. A failure at any point (the file cannot be created, a
// write comes up short because the disk is full or a size limit is hit,
// the replacement is refused) leaves the old file as it was.
class AtomicFile
{
public:
    enum Stage { Create, Write, Commit };

    // Writes `bytes` to `path`. False with the reason in *error when the
    // file could not be replaced. `beforeStage`, when given, is called as
    // each stage begins (a test makes a stage fail through it).
    static bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                      const std::function<void(Stage)> &beforeStage = {});
};
