// The settings file reader on a file written from the input, with a few
// look-ups, then a key written into it and read back.
//
// Input: the whole file. The section and key asked for besides fixed ones
// are the first "[section]" of the file and the first key under it; the
// value written is the file's last line when it can be stored as it is.

#include "FuzzSupport.h"

#include "config/TextCodec.h"

#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {

struct Lookup
{
    QString section;
    QString key;
};

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool blankAtEnds(const QString &s)
{
    return !s.isEmpty() && (isBlank(s.front()) || isBlank(s.back()));
}

bool hasLineEnd(const QString &s)
{
    return s.contains(u'\r') || s.contains(u'\n');
}

QStringList lines(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(u'\r', u'\n');
    return t.split(u'\n');
}

// The text as the file holds it reads back as itself (a stray lead byte
// of code page 932 may pair with the "]" or "=" written after it).
bool readsBack(const QString &text)
{
    return TextCodec::decode(TextCodec::encode(text)) == text;
}

// A section name the writer puts in a header that reads back as that name.
bool usableSection(const QString &s)
{
    return !hasLineEnd(s) && !s.contains(u']') && !blankAtEnds(s) && readsBack(u'[' + s + u']');
}

// A key the writer puts in a line that reads back as that key.
bool usableKey(const QString &k)
{
    return !k.isEmpty() && !hasLineEnd(k) && !k.contains(u'=') && !blankAtEnds(k) && !k.startsWith(u'[')
        && readsBack(k + u'=');
}

// A value that reads back unchanged: one line, no blanks or quotes around
// it, no NUL, short enough and writable in code page 932.
bool usableValue(const QString &v)
{
    if (hasLineEnd(v) || blankAtEnds(v) || v.contains(QChar(u'\0')))
        return false;
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return false;
    return TextCodec::encode(v).size() <= clsIniFile::kMaxValueBytes && TextCodec::isEncodable(v);
}

void checkValue(const QString &value, const QString &dflt)
{
    if (value == dflt)
        return;
    FUZZ_CHECK(TextCodec::encode(value).size() <= clsIniFile::kMaxValueBytes, "value longer than 255 bytes");
    FUZZ_CHECK(!value.contains(QChar(u'\0')) && !hasLineEnd(value), "NUL or line end in a value");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = fuzz::scratchDir() + QStringLiteral("/fuzz.ini");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write " + path);
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const QString text = TextCodec::decode(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QStringList fileLines = lines(text);

    QList<Lookup> lookups{{QStringLiteral("Tool"), QStringLiteral("Mes001")},
                          {QStringLiteral("A"), QStringLiteral("k")},
                          {QString(), QString()}};
    QString section = QStringLiteral("Fuzz");
    QString key = QStringLiteral("k");
    for (qsizetype i = 0; i < fileLines.size(); ++i) {
        const QString t = fileLines[i].trimmed();
        if (!t.startsWith(u'['))
            continue;
        const QString name = t.mid(1).section(u']', 0, 0).trimmed();
        lookups << Lookup{name, QString()};
        if (usableSection(name))
            section = name;
        for (qsizetype j = i + 1; j < fileLines.size(); ++j) {
            const qsizetype eq = fileLines[j].indexOf(u'=');
            if (fileLines[j].trimmed().startsWith(u'['))
                break;
            if (eq < 0)
                continue;
            const QString k = fileLines[j].left(eq).trimmed();
            lookups.last().key = k;
            if (usableKey(k))
                key = k;
            break;
        }
        break;
    }

    const QString dflt = QChar(1) + QStringLiteral("default");
    clsIniFile ini(path);
    QStringList before;
    for (const Lookup &l : lookups) {
        const QString v = ini.GetINIStr(l.section, l.key, dflt);
        checkValue(v, dflt);
        FUZZ_CHECK(ini.GetINIStr(l.section, l.key, dflt) == v, "a second read differs");
        before << v;
    }

    const QString last = fileLines.isEmpty() ? QString() : fileLines.last();
    const QString value = usableValue(last) ? last : QStringLiteral("value");
    ini.setAppName(section);
    FUZZ_CHECK(ini.WriteString(key, value), "WriteString failed");
    FUZZ_CHECK(ini.GetINIStr(section, key, dflt) == value,
               QStringLiteral("[%1] %2 written as \"%3\", read as \"%4\"")
                   .arg(section, key, value, ini.GetINIStr(section, key, dflt)));
    for (qsizetype i = 0; i < lookups.size(); ++i) {
        const Lookup &l = lookups[i];
        if (l.section.compare(section, Qt::CaseInsensitive) == 0 && l.key.compare(key, Qt::CaseInsensitive) == 0)
            continue;
        FUZZ_CHECK(ini.GetINIStr(l.section, l.key, dflt) == before[i],
                   QStringLiteral("[%1] %2 changed by writing [%3] %4").arg(l.section, l.key, section, key));
    }
    return 0;
}
