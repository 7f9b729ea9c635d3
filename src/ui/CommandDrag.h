#pragma once

#include <QString>

class Catalogue;
class QMimeData;

// What a command dragged from the command table carries: its name as plain
// text, for any target that takes text, and its number in a format of our
// own, so that a grid knows the command even when the language file gives
// two commands the same name, or none.
class CommandDrag
{
public:
    static constexpr const char *kMimeType = "application/x-velomat-command";

    static QMimeData *mimeData(int cmd, const QString &name);
    // Whether the data can name a command: our format, or plain text that
    // does not come with a list of files.
    static bool canDrop(const QMimeData *mime);
    // The command the data names: the number of our format, else the
    // command whose display name is the text; 0 when none.
    static int commandOf(const QMimeData *mime, const Catalogue &catalogue);
};
