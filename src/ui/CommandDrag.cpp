#include "CommandDrag.h"

#include "program/Catalogue.h"

#include <QMimeData>

QMimeData *CommandDrag::mimeData(int cmd, const QString &name)
{
    auto *mime = new QMimeData;
    mime->setText(name);
    mime->setData(QLatin1String(kMimeType), QByteArray::number(cmd));
    return mime;
}

bool CommandDrag::canDrop(const QMimeData *mime)
{
    // Files from a file manager often come with their names as text too:
    // those are for the main window to open, not a command.
    return mime && (mime->hasFormat(QLatin1String(kMimeType)) || (mime->hasText() && !mime->hasUrls()));
}

int CommandDrag::commandOf(const QMimeData *mime, const Catalogue &catalogue)
{
    if (!mime)
        return 0;
    if (mime->hasFormat(QLatin1String(kMimeType))) {
        bool ok = false;
        const int cmd = mime->data(QLatin1String(kMimeType)).toInt(&ok);
        return ok && cmd >= 1 && cmd <= Catalogue::kCommandCount ? cmd : 0;
    }
    // Text from elsewhere names a command only by a name of its own.
    const QString text = mime->text();
    return text.isEmpty() ? 0 : catalogue.commandByName(text);
}
