#include "clsIniFile.h"

#include "AtomicFile.h"
#include "TextCodec.h"

#include <QFile>
#include <QObject>
#include <QStringList>
#include <QVariant>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The text without the spaces and tabs around it. Other white space, such
// as the ideographic space, belongs to names and values.
QString trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.sliced(begin, end - begin).toString();
}

// The section name of a "[name]" line, or a null string for other lines.
QString sectionName(const QString &line)
{
    const QString t = trimBlanks(line);
    if (!t.startsWith(u'['))
        return QString();
    const qsizetype close = t.indexOf(u']');
    const QString name = trimBlanks(close < 0 ? QStringView(t).mid(1)
                                              : QStringView(t).mid(1, close - 1));
    return name.isNull() ? QStringLiteral("") : name;
}

// Splits a "key=value" line; false for lines without "=".
bool splitKeyLine(const QString &line, QString *key, QString *value)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    *key = trimBlanks(QStringView(line).left(eq));
    if (value)
        *value = trimBlanks(QStringView(line).mid(eq + 1));
    return true;
}

QString unquote(const QString &value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first line of the first section named `section`, or -1.
qsizetype findSection(const QStringList &lines, const QString &section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString name = sectionName(lines.at(i));
        if (!name.isNull() && sameName(name, section))
            return i;
    }
    return -1;
}

} // namespace

QString clsIniFile::GetINIStr(const QString &strApp, const QString &strKey,
                              const QString &strDefault) const
{
    QFile file(m_iniFile);
    if (m_iniFile.isEmpty() || !file.open(QIODevice::ReadOnly))
        return strDefault;
    const QStringList lines = TextCodec::splitLines(TextCodec::decode(file.readAll()));

    const qsizetype header = findSection(lines, strApp);
    if (header < 0)
        return strDefault;
    for (qsizetype i = header + 1; i < lines.size(); ++i) {
        if (!sectionName(lines.at(i)).isNull())
            break;
        QString key, value;
        if (splitKeyLine(lines.at(i), &key, &value) && sameName(key, strKey)) {
            // The value ends at its first NUL, as a C string would.
            const QString cut = TextCodec::cutToBytes(unquote(value), kMaxValueBytes);
            const qsizetype nul = cut.indexOf(QChar(u'\0'));
            return nul < 0 ? cut : cut.left(nul);
        }
    }
    return strDefault;
}

bool clsIniFile::WriteString(const QString &strKey, const QString &strData) const
{
    if (m_iniFile.isEmpty())
        return false;
    QStringList lines;
    {
        QFile existing(m_iniFile);
        if (existing.exists()) {
            if (!existing.open(QIODevice::ReadOnly))
                return false;
            lines = TextCodec::splitLines(TextCodec::decode(existing.readAll()));
        }
    }

    const QString entry = strKey + u'=' + strData;
    const qsizetype header = findSection(lines, m_appName);
    if (header < 0) {
        if (!lines.isEmpty() && !trimBlanks(lines.last()).isEmpty())
            lines << QString();
        lines << u'[' + m_appName + u']' << entry;
    } else {
        qsizetype lastKey = header;
        bool replaced = false;
        for (qsizetype i = header + 1; i < lines.size(); ++i) {
            if (!sectionName(lines.at(i)).isNull())
                break;
            QString key;
            if (splitKeyLine(lines.at(i), &key, nullptr)) {
                if (sameName(key, strKey)) {
                    lines[i] = entry;
                    replaced = true;
                    break;
                }
            }
            if (!trimBlanks(lines.at(i)).isEmpty())
                lastKey = i;
        }
        if (!replaced)
            lines.insert(lastKey + 1, entry);
    }

    return AtomicFile::write(m_iniFile, TextCodec::encode(lines.join(QStringLiteral("\r\n"))
                                                           + QStringLiteral("\r\n")));
}

QString clsIniFile::numberedKey(QStringView prefix, int number)
{
    return prefix.toString() + QString::number(number).rightJustified(3, u'0');
}

void clsIniFile::setCaption(QObject *element, const QString &caption)
{
    if (element->metaObject()->indexOfProperty("text") >= 0)
        element->setProperty("text", caption);
    else if (element->metaObject()->indexOfProperty("title") >= 0)
        element->setProperty("title", caption);
}

void clsIniFile::CaptionChange(QObject *frmForm) const
{
    if (frmForm)
        CaptionSet(frmForm, frmForm->objectName());
}

void clsIniFile::CaptionSet(QObject *frmForm, const QString &strSec) const
{
    if (!frmForm)
        return;
    const QList<QObject *> elements = frmForm->findChildren<QObject *>();
    for (QObject *element : elements) {
        const QString tag = element->property(kTagProperty).toString();
        if (tag.isEmpty())
            continue;
        setCaption(element, GetINIStr(strSec, tag, QString()));
    }
}
