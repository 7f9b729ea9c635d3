#include "config/AtomicFile.h"
#include "config/ControllerType.h"
#include "config/NumberText.h"
#include "config/ProgramFolder.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "support/FileBytes.h"
#include "support/FileSizeLimit.h"

#include <QProcess>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray cp932(const QString &text)
{
    return TextCodec::encode(text);
}

} // namespace

// A captioned element as the caption scheme sees it.
class Captioned : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text MEMBER text)
public:
    using QObject::QObject;
    QString text;
};

class Titled : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title MEMBER title)
public:
    using QObject::QObject;
    QString title;
};

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void atomicWriteFailure_data();
    void atomicWriteFailure();
    void codecRoundTrip();
    void codecBytes_data();
    void codecBytes();
    void codecEveryByte();
    void codecLargeText();
    void isSingleByte_data();
    void isSingleByte();
    void getIniStr_data();
    void getIniStr();
    void getIniStrMissingFile();
    void writeString_data();
    void writeString();
    void writeStringUnwritable();
    void captionChange();
    void leadingNumber_data();
    void leadingNumber();
    void leadingInteger_data();
    void leadingInteger();
    void roundHalfEven_data();
    void roundHalfEven();
    void langNo_data();
    void langNo();
    void readControllerType_data();
    void readControllerType();
    void writeControllerType();
    void folders_data();
    void folders();

private:
    QTemporaryDir m_dir;
};

void TestConfig::codecRoundTrip()
{
    QVERIFY(m_dir.isValid());
    const QString text = QString::fromUtf16(u"ｱｲｳ 表示 ×100 ～");
    QCOMPARE(TextCodec::decode(TextCodec::encode(text)), text);
    // 表 ends in the byte 0x5C: the decoder must not take it for a backslash.
    QCOMPARE(TextCodec::encode(QString::fromUtf16(u"表")), QByteArray("\x95\x5c"));
    QVERIFY(TextCodec::isSingleByte(QString::fromUtf16(u"abc ｱｲｳ")));
    QVERIFY(!TextCodec::isSingleByte(QString::fromUtf16(u"abcア")));
}

void TestConfig::codecBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString hyo = QString::fromUtf16(u"表");
    QTest::newRow("control bytes keep their code points")
        << QByteArray("\x1a\x1c\x7f") << QString::fromUtf16(u"\x1a\x1c\x7f");
    QTest::newRow("single bytes above 0x7F that are no katakana")
        << QByteArray("\x80\xa0\xfd\xfe\xff") << QString::fromUtf16(u"\x80\xf8f0\xf8f1\xf8f2\xf8f3");
    QTest::newRow("half-width katakana") << QByteArray("\xa1\xb1\xdf") << QString::fromUtf16(u"｡ｱﾟ");
    QTest::newRow("lead byte at the end") << QByteArray("a\x81") << QString::fromUtf16(u"a\xdc81");
    QTest::newRow("lead byte before a blank") << QByteArray("\x81 ") << QString::fromUtf16(u"\xdc81 ");
    QTest::newRow("lead byte before 0x7F") << QByteArray("\x81\x7f") << QString::fromUtf16(u"\xdc81\x7f");
    QTest::newRow("lead byte before 0xFD") << QByteArray("\x81\xfd") << QString::fromUtf16(u"\xdc81\xf8f1");
    QTest::newRow("unmappable pair: lead escaped, trail read on")
        << QByteArray("\x85\x40") << QString::fromUtf16(u"\xdc85@");
    QTest::newRow("unmappable pair whose trail is a lead byte")
        << QByteArray("\xfc\xfc\x81\x40") << QString::fromUtf16(u"\xdcfc\xdcfc\u3000");
    QTest::newRow("user-defined area") << QByteArray("\xf0\x40") << QString::fromUtf16(u"\xe000");
    // 0xEEF9 is also 0x81CA, 0xED40 also 0xFA5C: read as their characters
    // they would be written back as the other code.
    QTest::newRow("duplicate code: lead escaped, trail read on")
        << QByteArray("\xee\xf9") << QString::fromUtf16(u"\xdcee\xdcf9");
    QTest::newRow("escaped lead byte before a duplicate code")
        << QByteArray("\xee\xee\xee\xf9") << QString::fromUtf16(u"\xdcee\xdcee\xdcee\xdcf9");
    QTest::newRow("duplicate code inside a long run")
        << cp932(QString(100, hyo[0])) + "\xed\x40" + cp932(QString(100, hyo[0]))
        << QString(100, hyo[0]) + QString::fromUtf16(u"\xdced@") + QString(100, hyo[0]);
    QTest::newRow("unmappable pair inside a long run")
        << cp932(QString(100, hyo[0])) + "\x85\x40" + cp932(QString(100, hyo[0]))
        << QString(100, hyo[0]) + QString::fromUtf16(u"\xdc85@") + QString(100, hyo[0]);
    QTest::newRow("long run of unmappable pairs")
        << QByteArray(5001, '\xfc') << QString(5001, QChar(0xdcfc));
}

void TestConfig::codecBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(TextCodec::decode(bytes), text);
    QCOMPARE(TextCodec::encode(text), bytes);
}

void TestConfig::codecEveryByte()
{
    for (int b = 0; b < 256; ++b) {
        const QByteArray alone(1, char(b));
        QCOMPARE(TextCodec::encode(TextCodec::decode(alone)), alone);
        // Second bytes that never complete a pair.
        for (int t : {0x0d, 0x20, 0x7f, 0xfd, 0xff}) {
            const QByteArray pair = alone + char(t);
            QCOMPARE(TextCodec::encode(TextCodec::decode(pair)), pair);
        }
    }
}

void TestConfig::codecLargeText()
{
    const QByteArray line = "0001,MOVE,100,200,\"" + cp932(QString::fromUtf16(u"絶対位置ｱ")) + "\"\r\n";
    QByteArray bytes;
    while (bytes.size() < 10 * 1024 * 1024)
        bytes += line;
    const QString text = TextCodec::decode(bytes);
    QCOMPARE(text.size(), bytes.size() / line.size() * TextCodec::decode(line).size());
    QCOMPARE(TextCodec::encode(text), bytes);
}

void TestConfig::isSingleByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("single");
    QTest::newRow("U+00A0 needs the converter") << QString(QChar(0xa0)) << false;
    QTest::newRow("U+0080 is byte 0x80") << QString(QChar(0x80)) << true;
    QTest::newRow("U+F8F0 is byte 0xA0") << QString(QChar(0xf8f0)) << true;
    QTest::newRow("half-width katakana") << QString::fromUtf16(u"ｱ") << true;
    QTest::newRow("full-width katakana") << QString::fromUtf16(u"ア") << false;
    QTest::newRow("CR") << QStringLiteral("\r") << true;
    QTest::newRow("escaped lead byte before a trail byte reads back as a pair")
        << QString::fromUtf16(u"\xdc81" u"A") << false;
}

void TestConfig::isSingleByte()
{
    QFETCH(QString, text);
    QFETCH(bool, single);
    QCOMPARE(TextCodec::isSingleByte(text), single);
    if (text.size() == 1)
        QCOMPARE(TextCodec::byteLength(text.at(0)) == 1, single);
}

void TestConfig::getIniStr_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString basic = QStringLiteral("[dlgData]\r\nTitle001=Data entry\r\nCap001=Data\r\n");
    QTest::newRow("plain") << basic << "dlgData" << "Title001" << "Data entry";
    QTest::newRow("section and key lower case in the file")
        << "[dlgdata]\r\ntitle001=x\r\n" << "dlgData" << "Title001" << "x";
    QTest::newRow("section and key upper case in the file")
        << "[DLGDATA]\r\nTITLE001=x\r\n" << "dlgData" << "Title001" << "x";
    QTest::newRow("asked in other case") << basic << "DLGDATA" << "title001" << "Data entry";
    QTest::newRow("missing section") << basic << "Other" << "Title001" << "dflt";
    QTest::newRow("missing key") << basic << "dlgData" << "Cap002" << "dflt";
    QTest::newRow("key of another section is not seen")
        << "[A]\r\nk=1\r\n[B]\r\nj=2\r\n" << "B" << "k" << "dflt";
    QTest::newRow("first key wins") << "[A]\r\nk=1\r\nK=2\r\n" << "A" << "k" << "1";
    QTest::newRow("first section wins")
        << "[A]\r\nk=1\r\n[a]\r\nk=2\r\nj=3\r\n" << "A" << "j" << "dflt";
    QTest::newRow("blanks trimmed") << "[A]\r\n  k  =   v  w  \r\n" << "A" << "k" << "v  w";
    QTest::newRow("tab blanks trimmed") << "[A]\r\nk=\tv\t\r\n" << "A" << "k" << "v";
    QTest::newRow("double quotes removed") << "[A]\r\nk=\" v \"\r\n" << "A" << "k" << " v ";
    QTest::newRow("single quotes removed") << "[A]\r\nk='v'\r\n" << "A" << "k" << "v";
    QTest::newRow("only one pair removed") << "[A]\r\nk=\"\"v\"\"\r\n" << "A" << "k" << "\"v\"";
    QTest::newRow("mismatched quotes kept") << "[A]\r\nk=\"v'\r\n" << "A" << "k" << "\"v'";
    QTest::newRow("lone quote kept") << "[A]\r\nk=\"\r\n" << "A" << "k" << "\"";
    QTest::newRow("empty value is empty, not the default") << "[A]\r\nk=\r\n" << "A" << "k" << "";
    QTest::newRow("equals sign inside the value") << "[A]\r\nk=a=b\r\n" << "A" << "k" << "a=b";
    QTest::newRow("LF line ends") << "[A]\nk=1\nj=2\n" << "A" << "j" << "2";
    QTest::newRow("CR line ends") << "[A]\rk=1\rj=2" << "A" << "j" << "2";
    QTest::newRow("indented section header") << "  [ A ]  \r\nk=1\r\n" << "A" << "k" << "1";
    QTest::newRow("line without equals sign skipped") << "[A]\r\nnoise\r\nk=1\r\n" << "A" << "k" << "1";
    QTest::newRow("Japanese value")
        << QString::fromUtf16(u"[Tool]\r\nMes001=絶対位置移動\r\n") << "Tool" << "Mes001"
        << QString::fromUtf16(u"絶対位置移動");
    QTest::newRow("half-width katakana value")
        << QString::fromUtf16(u"[A]\r\nk=ﾌｧｲﾙ(&F)\r\n") << "A" << "k" << QString::fromUtf16(u"ﾌｧｲﾙ(&F)");
    QTest::newRow("value with trail byte 0x5C")
        << QString::fromUtf16(u"[A]\r\nk=表示\r\n") << "A" << "k" << QString::fromUtf16(u"表示");

    QTest::newRow("255 bytes kept whole")
        << "[A]\r\nk=" + QString(255, u'x') + "\r\n" << "A" << "k" << QString(255, u'x');
    QTest::newRow("longer value cut at 255 bytes")
        << "[A]\r\nk=" + QString(300, u'x') + "\r\n" << "A" << "k" << QString(255, u'x');
    // a + 127 double-byte characters = 255 bytes exactly.
    QTest::newRow("double-byte text up to 255 bytes")
        << "[A]\r\nk=a" + QString(127, QChar(0x3042)) + "\r\n" << "A" << "k"
        << "a" + QString(127, QChar(0x3042));
    // 128 double-byte characters = 256 bytes: the last one can't be halved.
    QTest::newRow("double-byte character never halved")
        << "[A]\r\nk=" + QString(128, QChar(0x3042)) + "\r\n" << "A" << "k"
        << QString(127, QChar(0x3042));
    const QString nul(QChar(0));
    QTest::newRow("value ends at a NUL") << "[A]\r\nk=ab" + nul + "cd\r\n" << "A" << "k" << "ab";
    QTest::newRow("NUL inside quotes") << "[A]\r\nk=\"ab" + nul + "cd\"\r\n" << "A" << "k" << "ab";
    QTest::newRow("NUL first gives empty, not the default")
        << "[A]\r\nk=" + nul + "cd\r\n" << "A" << "k" << "";
    QTest::newRow("ideographic spaces kept around the value")
        << QString::fromUtf16(u"[A]\r\nk= \u3000v\u3000\t\r\n") << "A" << "k"
        << QString::fromUtf16(u"\u3000v\u3000");
    QTest::newRow("ideographic space is part of the key")
        << QString::fromUtf16(u"[A]\r\nk\u3000=1\r\n") << "A" << "k" << "dflt";
    QTest::newRow("ideographic space is part of the section name")
        << QString::fromUtf16(u"[\u3000A]\r\nk=1\r\n") << "A" << "k" << "dflt";
    QTest::newRow("cut happens after unquoting")
        << "[A]\r\nk=\"" + QString(260, u'x') + "\"\r\n" << "A" << "k" << QString(255, u'x');
}

void TestConfig::getIniStr()
{
    QFETCH(QString, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const QString path = m_dir.filePath(QStringLiteral("read.ini"));
    QVERIFY(writeBytes(path, cp932(content)));
    clsIniFile ini(path);
    QCOMPARE(ini.GetINIStr(section, key, QStringLiteral("dflt")), expected);
}

void TestConfig::getIniStrMissingFile()
{
    clsIniFile ini(m_dir.filePath(QStringLiteral("absent.ini")));
    QCOMPARE(ini.GetINIStr("A", "k", "dflt"), QStringLiteral("dflt"));
    QCOMPARE(ini.GetINIStr("A", "k", ""), QString());
    clsIniFile unbound;
    QCOMPARE(unbound.GetINIStr("A", "k", "dflt"), QStringLiteral("dflt"));
}

void TestConfig::writeString_data()
{
    QTest::addColumn<QByteArray>("before"); // CP932 bytes; empty: no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after"); // decoded text expected on disk

    QTest::newRow("creates the file") << QByteArray() << "S" << "k" << "v" << "[S]\r\nk=v\r\n";
    QTest::newRow("adds a section")
        << QByteArray("[A]\r\nx=1\r\n") << "S" << "k" << "v" << "[A]\r\nx=1\r\n\r\n[S]\r\nk=v\r\n";
    QTest::newRow("adds a key after the section's last key")
        << QByteArray("[S]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n") << "s" << "k" << "v"
        << "[S]\r\nx=1\r\nk=v\r\n\r\n[B]\r\ny=2\r\n";
    QTest::newRow("replaces a key in other case")
        << QByteArray("[S]\nK = old\ny=2\n") << "S" << "k" << "new" << "[S]\r\nk=new\r\ny=2\r\n";
    QTest::newRow("keeps Japanese text in code page 932")
        << cp932(QString::fromUtf16(u"[S]\r\na=表示\r\n")) << "S" << "b"
        << QString::fromUtf16(u"ｶﾅ漢字")
        << QString::fromUtf16(u"[S]\r\na=表示\r\nb=ｶﾅ漢字\r\n");
}

void TestConfig::writeString()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, after);

    const QString path = m_dir.filePath(QStringLiteral("write.ini"));
    QFile::remove(path);
    if (!before.isEmpty())
        QVERIFY(writeBytes(path, before));
    clsIniFile ini(path);
    ini.setAppName(section);
    QVERIFY(ini.WriteString(key, value));
    QCOMPARE(readBytes(path), cp932(after));
    QCOMPARE(ini.GetINIStr(section, key), value);
}

void TestConfig::writeStringUnwritable()
{
    clsIniFile ini(m_dir.filePath(QStringLiteral("no/such/folder/x.ini")));
    ini.setAppName(QStringLiteral("S"));
    QVERIFY(!ini.WriteString(QStringLiteral("k"), QStringLiteral("v")));
}

void TestConfig::captionChange()
{
    const QString path = m_dir.filePath(QStringLiteral("captions.ini"));
    QVERIFY(writeBytes(path, cp932(QString::fromUtf16(
                                 u"[frmTest]\r\nCap001=From file\r\nCap002=表題\r\n"
                                 u"[Other]\r\nCap001=Other section\r\n"))));
    clsIniFile ini(path);

    QObject window;
    window.setObjectName(QStringLiteral("frmTest"));
    auto *tagged = new Captioned(&window);
    tagged->text = QStringLiteral("stored");
    tagged->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap001"));
    auto *nested = new Titled(new QObject(&window));
    nested->title = QStringLiteral("stored");
    nested->setProperty(clsIniFile::kTagProperty, QStringLiteral("cap002"));
    auto *untagged = new Captioned(&window);
    untagged->text = QStringLiteral("stored");
    auto *missing = new Captioned(&window);
    missing->text = QStringLiteral("stored");
    missing->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap999"));

    ini.CaptionChange(&window);
    QCOMPARE(tagged->text, QStringLiteral("From file"));
    QCOMPARE(nested->title, QString::fromUtf16(u"表題"));
    QCOMPARE(untagged->text, QStringLiteral("stored"));
    QCOMPARE(missing->text, QString()); // a missing key blanks the caption

    ini.CaptionSet(&window, QStringLiteral("Other"));
    QCOMPARE(tagged->text, QStringLiteral("Other section"));
}

void TestConfig::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("word") << "abc" << 0.0;
    QTest::newRow("integer") << "42" << 42.0;
    QTest::newRow("leading blanks") << "   7" << 7.0;
    QTest::newRow("stops at a letter") << "12abc" << 12.0;
    QTest::newRow("stops at a second minus") << "12-3" << 12.0;
    QTest::newRow("negative") << "-15" << -15.0;
    QTest::newRow("plus sign") << "+5" << 5.0;
    QTest::newRow("lone minus") << "-" << 0.0;
    QTest::newRow("decimal") << "2.5x" << 2.5;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("incomplete exponent") << "1e" << 1.0;
    QTest::newRow("comma ends it") << "2,rest" << 2.0;
    QTest::newRow("leading zeros") << "007" << 7.0;
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("400 nines too large") << QString(400, u'9') << inf;
    QTest::newRow("minus 400 nines too large") << "-" + QString(400, u'9') << -inf;
    QTest::newRow("1 and 309 zeros too large") << "1" + QString(309, u'0') << inf;
    QTest::newRow("exponent too large") << "0.001e400" << inf;
    QTest::newRow("exponent too small reads as 0") << "100e-400" << 0.0;
}

void TestConfig::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(NumberText::leadingNumber(text), expected);
}

void TestConfig::leadingInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("rounds half to even") << "2.5" << qint64(2);
    QTest::newRow("largest below 2^63 kept") << "9223372036854774784" << qint64(9223372036854774784);
    QTest::newRow("2^63 clamps") << "9223372036854775808" << std::numeric_limits<qint64>::max();
    QTest::newRow("too large for a double clamps") << QString(400, u'9')
                                                    << std::numeric_limits<qint64>::max();
    QTest::newRow("too large negative clamps") << "-" + QString(400, u'9')
                                                << std::numeric_limits<qint64>::min();
}

void TestConfig::leadingInteger()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    QCOMPARE(NumberText::leadingInteger(text), expected);
}

void TestConfig::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("2.6") << 2.6 << 3.0;
    QTest::newRow("-0.5") << -0.5 << 0.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
    QTest::newRow("-2.4") << -2.4 << -2.0;
}

void TestConfig::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(NumberText::roundHalfEven(value), expected);
}

void TestConfig::langNo_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("langNo");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("2") << "2" << 0;
    QTest::newRow("word") << "english" << 0;
    QTest::newRow("spaces then 1") << "   1" << 1;
    QTest::newRow("1 then more words") << "1 -x" << 1;
    QTest::newRow("1.4 rounds to 1") << "1.4" << 1;
    QTest::newRow("1.5 rounds to 2") << "1.5" << 0;
    QTest::newRow("0.5 rounds to 0") << "0.5" << 0;
    QTest::newRow("0.6 rounds to 1") << "0.6" << 1;
}

void TestConfig::langNo()
{
    QFETCH(QString, commandLine);
    QFETCH(int, langNo);
    QCOMPARE(ControllerType::langNoFromCommandLine(commandLine), langNo);
    QCOMPARE(ControllerType::languageFileName(langNo), QStringLiteral("LANG%1.DAT").arg(langNo));
}

void TestConfig::readControllerType_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("type");
    QTest::newRow("3") << QByteArray("3\r\n") << 3;
    QTest::newRow("2 then a comma and more") << QByteArray("2,7\r\n") << 2;
    QTest::newRow("no line end") << QByteArray("2") << 2;
    QTest::newRow("blanks around") << QByteArray("  3  \r\n") << 3;
    QTest::newRow("quoted") << QByteArray("\"2\"\r\n") << 2;
    QTest::newRow("empty file") << QByteArray() << 1;
    QTest::newRow("0") << QByteArray("0\r\n") << 1;
    QTest::newRow("4") << QByteArray("4\r\n") << 1;
    QTest::newRow("letter") << QByteArray("x\r\n") << 1;
    QTest::newRow("negative") << QByteArray("-2\r\n") << 1;
    QTest::newRow("2.5 rounds to even") << QByteArray("2.5\r\n") << 2;
    QTest::newRow("0.4 rounds to 0") << QByteArray("0.4\r\n") << 1;
    QTest::newRow("3.6 rounds to 4") << QByteArray("3.6\r\n") << 1;
    QTest::newRow("only the first line") << QByteArray("\r\n3\r\n") << 1;
}

void TestConfig::readControllerType()
{
    QFETCH(QByteArray, content);
    QFETCH(int, type);
    const QString path = m_dir.filePath(QStringLiteral("typ.cfg"));
    QVERIFY(writeBytes(path, content));
    QCOMPARE(ControllerType::readControllerType(path), type);
}

void TestConfig::writeControllerType()
{
    const QString path = m_dir.filePath(QStringLiteral("typ-w.cfg"));
    QCOMPARE(ControllerType::readControllerType(path), 1); // no file yet
    QVERIFY(writeBytes(path, QByteArray("1,old text that is longer\r\nsecond line\r\n")));
    QVERIFY(ControllerType::writeControllerType(path, 3));
    QCOMPARE(readBytes(path), QByteArray("3\r\n"));
    QCOMPARE(ControllerType::readControllerType(path), 3);
    QVERIFY(!ControllerType::writeControllerType(m_dir.filePath("none/typ.cfg"), 2));
}

// Paths are relative to a fresh folder; "cfg" is the configuration folder.
void TestConfig::folders_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("exe");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("settings");
    QTest::newRow("build: beside the executable")
        << QString() << "b/bin" << QStringList{"b/bin/LANG0.DAT", "b/share/velomat/LANG0.DAT"}
        << "b/bin" << "b/bin";
    // Writable here (tests run as root), yet the package's folder is no
    // place for a user's settings.
    QTest::newRow("installed: share/velomat")
        << QString() << "usr/bin" << QStringList{"usr/bin/velomat", "usr/share/velomat/LANG0.DAT"}
        << "usr/share/velomat" << "cfg";
    QTest::newRow("VELOMAT_HOME first")
        << "home/" << "b/bin" << QStringList{"b/bin/LANG0.DAT", "home/LANG0.DAT"} << "home"
        << "home";
    // A folder under a regular file: not writable, not even for root.
    QTest::newRow("VELOMAT_HOME not writable")
        << "file/home" << "b/bin" << QStringList{"file"} << "file/home" << "cfg";
    QTest::newRow("no language files: the executable's folder")
        << QString() << "b/bin" << QStringList{"b/bin/velomat"} << "b/bin" << "b/bin";
}

void TestConfig::folders()
{
    QFETCH(QString, home);
    QFETCH(QString, exe);
    QFETCH(QStringList, files);
    QFETCH(QString, language);
    QFETCH(QString, settings);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QDir dir(root.path());
    for (const QString &f : files) {
        QVERIFY(dir.mkpath(QFileInfo(f).path()));
        QVERIFY(writeBytes(dir.filePath(f), QByteArray()));
    }
    const QString config = dir.filePath(QStringLiteral("cfg"));
    const QString folder =
        ProgramFolder::languageFolder(home.isEmpty() ? home : dir.filePath(home), dir.filePath(exe));
    QCOMPARE(folder, dir.filePath(language));
    QCOMPARE(ProgramFolder::settingsFolder(folder, dir.filePath(exe), config),
             dir.filePath(settings));
    if (settings == QLatin1String("cfg"))
        QVERIFY(QFileInfo(config).isDir());
}

void TestConfig::atomicWriteFailure_data()
{
    QTest::addColumn<int>("stage");
    QTest::newRow("the new file cannot be created") << int(AtomicFile::Create);
    QTest::newRow("a write comes up short (disk full)") << int(AtomicFile::Write);
    QTest::newRow("the new file cannot replace the old") << int(AtomicFile::Commit);
}

// Whatever step of a replacement fails, the old file stays byte for byte.
void TestConfig::atomicWriteFailure()
{
    QFETCH(int, stage);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("program.txt"));
    const QByteArray old = "AXIS=1\r\nH:\r\n";
    QVERIFY(writeBytes(path, old));

    // A folder that takes no new entries (also for root), or a size limit.
    bool locked = false;
    std::unique_ptr<FileSizeLimit> limit;
    auto fail = [&](AtomicFile::Stage s) {
        if (s != stage)
            return;
        if (s == AtomicFile::Write)
            limit = std::make_unique<FileSizeLimit>(4);
        else
            locked = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), dir.path()}) == 0;
    };
    QString error;
    const bool written = AtomicFile::write(path, QByteArray(1000, 'x'), &error, fail);
    limit.reset();
    if (locked)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), dir.path()});
    else if (stage != AtomicFile::Write)
        QSKIP("this file system cannot lock a folder");
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"program.txt"}); // no leftovers
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
