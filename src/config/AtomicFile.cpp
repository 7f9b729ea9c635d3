#include "AtomicFile.h"

#include <QSaveFile>

bool AtomicFile::write(const QString &path, const QByteArray &bytes, QString *error,
                       const std::function<void(Stage)> &beforeStage)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    auto stage = [&](Stage s) {
        if (beforeStage)
            beforeStage(s);
    };

    stage(Create);
    QSaveFile file(path);
    // Unbuffered, so that a short write shows in what write() returns: a
    // buffered one can lose its tail in a failed flush and still commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    stage(Write);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.error() == QFileDevice::NoError
            ? QStringLiteral("the disk is full or the file would be too large")
            : file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    stage(Commit);
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
