#include "ControllerType.h"

#include "AtomicFile.h"
#include "NumberText.h"
#include "TextCodec.h"

#include <QFile>

#include <algorithm>

int ControllerType::readControllerType(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.read(4096);
    if (file.error() != QFileDevice::NoError)
        return 1;

    // The first item: up to the first comma or the end of the first line.
    QString text = TextCodec::decode(bytes);
    // Found by hand: on a stray byte's escape (a lone surrogate) a regular
    // expression would match nothing.
    const auto end = std::find_if(text.cbegin(), text.cend(),
                                  [](QChar c) { return c == u',' || c == u'\r' || c == u'\n'; });
    text.truncate(end - text.cbegin());
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        text = text.mid(1, text.size() - 2);

    const double v = NumberText::leadingNumber(text);
    if (!(v > 0 && v < 4))
        return 1;
    const double type = NumberText::roundHalfEven(v);
    return (type >= 1 && type <= 3) ? int(type) : 1;
}

bool ControllerType::writeControllerType(const QString &path, int type)
{
    return AtomicFile::write(path, QByteArray::number(type) + "\r\n");
}

double ControllerType::commandLineNumber(const QString &commandLine)
{
    return NumberText::leadingNumber(commandLine);
}

int ControllerType::langNoFromCommandLine(const QString &commandLine)
{
    return NumberText::roundHalfEven(commandLineNumber(commandLine)) == 1.0 ? 1 : 0;
}

QString ControllerType::languageFileName(int langNo)
{
    return QStringLiteral("LANG%1.DAT").arg(langNo);
}
