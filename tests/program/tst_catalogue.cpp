#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rows_data();
    void rows();
    void textsFromLanguageFile();
    void withoutToolSection();
    void defaults_data();
    void defaults();
    void paramRanges_data();
    void paramRanges();
    void brokenRows();

private:
    QString writeIni(const QString &name, const QString &content);
    QTemporaryDir m_dir;
    Catalogue m_catalogue;
};

QString TestCatalogue::writeIni(const QString &name, const QString &content)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(TextCodec::encode(content));
    return path;
}

void TestCatalogue::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_catalogue.buildCatalogue(clsIniFile(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")));
    m_catalogue.buildParamRanges();
}

void TestCatalogue::rows_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QString>("mnemonic");
    QTest::addColumn<QString>("flags"); // sendOnce, axisLetter, fillsStep, exclusive as 0/1
    QTest::addColumn<QString>("ranges");
    QTest::addColumn<int>("paramCount");

    QTest::newRow("AGO:") << 1 << "AGO:" << "0101" << "-99999999,99999999" << 1;
    QTest::newRow("BGO:") << 2 << "BGO:" << "0101" << "-99999999,99999999" << 1;
    QTest::newRow("MGO:") << 3 << "MGO:" << "0100" << "-99999999,99999999" << 1;
    QTest::newRow("H:") << 4 << "H:" << "0100" << "" << 0;
    QTest::newRow("P:") << 5 << "P:" << "0000" << "0,99,-99999999,99999999" << 2;
    QTest::newRow("D:") << 6 << "D:" << "0100" << "10,600000,10,600000,1,1000" << 3;
    QTest::newRow("R:") << 7 << "R:" << "0100" << "-99999999,99999999" << 1;
    QTest::newRow("C:") << 8 << "C:" << "0000" << "0,2,0,2,0,2,0,2" << 4;
    QTest::newRow("S:") << 9 << "S:" << "0100" << "0,15" << 1;
    QTest::newRow("U00:") << 10 << "U00:" << "0000" << "" << 0;
    QTest::newRow("U01:") << 11 << "U01:" << "1010" << "0,199" << 1;
    QTest::newRow("U02:") << 12 << "U02:" << "1010" << "A1,A0,0,1,0,199" << 3;
    QTest::newRow("U03:") << 13 << "U03:" << "1010" << "0,199,1,8388607" << 2;
    QTest::newRow("U04:") << 14 << "U04:" << "0010" << "" << 0;
    QTest::newRow("U99:") << 15 << "U99:" << "0000" << "" << 0;
    QTest::newRow("W:") << 16 << "W:" << "0000" << "1,65535" << 1;
    QTest::newRow("#:") << 17 << "#:" << "1010" << "L0,L45" << 1;
}

void TestCatalogue::rows()
{
    QFETCH(int, cmd);
    QFETCH(QString, mnemonic);
    QFETCH(QString, flags);
    QFETCH(QString, ranges);
    QFETCH(int, paramCount);

    QCOMPARE(m_catalogue.mnemonic(cmd), mnemonic);
    QCOMPARE(m_catalogue.isSendOnce(cmd), flags[0] == u'1');
    QCOMPARE(m_catalogue.hasAxisLetter(cmd), flags[1] == u'1');
    QCOMPARE(m_catalogue.fillsStep(cmd), flags[2] == u'1');
    QCOMPARE(m_catalogue.isExclusive(cmd), flags[3] == u'1');
    QCOMPARE(m_catalogue.text(cmd, Catalogue::Ranges), ranges);
    QCOMPARE(m_catalogue.paramCount(cmd), paramCount);
    // Flag columns hold "1" or nothing at all, never padding.
    for (int col : {Catalogue::SendOnce, Catalogue::AxisLetter, Catalogue::FillsStep,
                    Catalogue::Exclusive})
        QVERIFY(m_catalogue.text(cmd, col).isEmpty() || m_catalogue.text(cmd, col) == "1");
}

void TestCatalogue::textsFromLanguageFile()
{
    const QString path = writeIni(QStringLiteral("tool.dat"), QString::fromUtf16(
        u"[tool]\r\nMes006=Speed\r\nMes106=Start, Max ,Accel\r\nMes003=Machine\r\n"
        u"Mes103=Pos\r\nMes203=[pulse]\r\nMes012=Cond\r\nMes212=,[0/1],[step]\r\n"));
    Catalogue c;
    c.buildCatalogue(clsIniFile(path));
    QCOMPARE(c.name(6), QStringLiteral("Speed"));
    QCOMPARE(c.list(6, Catalogue::Captions), QStringList({"Start", " Max ", "Accel"}));
    QCOMPARE(c.text(6, Catalogue::Units), QStringLiteral("[pps],[pps],[ms]"));
    QCOMPARE(c.text(3, Catalogue::Units), QStringLiteral("[pulse]"));
    QCOMPARE(c.list(12, Catalogue::Units), QStringList({"", "[0/1]", "[step]"}));
    // The multiplication sign is one character of the unit text.
    QCOMPARE(c.text(16, Catalogue::Units), QString::fromUtf16(u"[×100ms]"));
    QCOMPARE(c.text(16, Catalogue::Units).size(), 8);
    QCOMPARE(c.commandByName(QStringLiteral("Speed")), 6);
    QCOMPARE(c.commandByName(QStringLiteral("Nothing")), 0);
}

void TestCatalogue::withoutToolSection()
{
    Catalogue c;
    c.buildCatalogue(clsIniFile(writeIni(QStringLiteral("empty.dat"), "[Other]\r\nMes001=x\r\n")));
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        QVERIFY(c.name(cmd).isEmpty());
        QVERIFY(c.text(cmd, Catalogue::Captions).isEmpty());
        QCOMPARE(c.mnemonic(cmd), m_catalogue.mnemonic(cmd));
        QCOMPARE(c.text(cmd, Catalogue::Ranges), m_catalogue.text(cmd, Catalogue::Ranges));
        QCOMPARE(c.paramCount(cmd), m_catalogue.paramCount(cmd));
        QCOMPARE(c.fillsStep(cmd), m_catalogue.fillsStep(cmd));
    }
    // Empty names all alike: the first one wins.
    QCOMPARE(c.commandByName(QString()), 1);
}

void TestCatalogue::defaults_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QStringList>("expected"); // elements 1.. after the call

    QTest::newRow("AGO: minimum negative gives 0") << 1 << QStringList{"0"};
    QTest::newRow("H: writes nothing") << 4 << QStringList{};
    QTest::newRow("P:") << 5 << QStringList{"0", "0"};
    QTest::newRow("D:") << 6 << QStringList{"10", "10", "1"};
    QTest::newRow("C:") << 8 << QStringList{"0", "0", "0", "0"};
    QTest::newRow("U01:") << 11 << QStringList{"0"};
    QTest::newRow("U02: letter, then numbers") << 12 << QStringList{"A", "0", "0"};
    QTest::newRow("U03:") << 13 << QStringList{"0", "1"};
    QTest::newRow("W:") << 16 << QStringList{"1"};
    QTest::newRow("#: empty text") << 17 << QStringList{""};
}

void TestCatalogue::defaults()
{
    QFETCH(int, cmd);
    QFETCH(QStringList, expected);
    QStringList data{QStringLiteral("keep")};
    m_catalogue.getDefaultParams(cmd, data);
    QCOMPARE(data.first(), QStringLiteral("keep"));
    QCOMPARE(data.mid(1), expected);

    // An array already holding values of another command is overwritten.
    QStringList full{QStringLiteral("x"), "9", "9", "9", "9"};
    m_catalogue.getDefaultParams(cmd, full);
    QCOMPARE(full.mid(1, expected.size()), expected);
    QCOMPARE(full.size(), 5);
}

void TestCatalogue::paramRanges_data()
{
    QTest::addColumn<int>("paramNo");
    QTest::addColumn<QString>("min");
    QTest::addColumn<QString>("max");
    QTest::newRow("0") << 0 << "0" << "0";
    QTest::newRow("8") << 8 << "10" << "500000";
    QTest::newRow("11") << 11 << "-99999999" << "99999999";
    QTest::newRow("20") << 20 << "1" << "1000000";
    QTest::newRow("22") << 22 << "0" << "250000";
    QTest::newRow("25") << 25 << "-1" << "99999999";
    QTest::newRow("53") << 53 << "0" << "0";
    QTest::newRow("73") << 73 << "-2" << "99999999";
    QTest::newRow("78") << 78 << "0" << "1000";
    QTest::newRow("90") << 90 << "0" << "60";
    QTest::newRow("99") << 99 << "0" << "0";
    QTest::newRow("-1 out of range") << -1 << "" << "";
    QTest::newRow("100 out of range") << 100 << "" << "";
}

void TestCatalogue::paramRanges()
{
    QFETCH(int, paramNo);
    QFETCH(QString, min);
    QFETCH(QString, max);
    QCOMPARE(m_catalogue.getParamMin(paramNo), min);
    QCOMPARE(m_catalogue.getParamMax(paramNo), max);
}

void TestCatalogue::brokenRows()
{
    // A "|" in a display name shifts the row; nothing may crash and every
    // access stays within the table.
    const QString path = writeIni(QStringLiteral("broken.dat"),
                                  "[Tool]\r\nMes001=Go|Abs\r\nMes106=a|b\r\n");
    Catalogue c;
    c.buildCatalogue(clsIniFile(path));
    QCOMPARE(c.name(1), QStringLiteral("Go"));
    QCOMPARE(c.mnemonic(1), QStringLiteral("Abs"));
    QStringList data{QStringLiteral("1")};
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        c.getDefaultParams(cmd, data);
        QVERIFY(c.paramCount(cmd) >= 0 && c.paramCount(cmd) <= 4);
    }

    c.setCatalogueRow(5, QStringLiteral("short|P:"));
    QCOMPARE(c.mnemonic(5), QStringLiteral("P:"));
    QCOMPARE(c.paramCount(5), 0);
    c.setCatalogueRow(6, QStringLiteral("n|D:| |1|a,b|u|x,y|9|1|1|extra|more"));
    QCOMPARE(c.paramCount(6), 4); // never more fields than a cell has
    c.getDefaultParams(6, data);
    QCOMPARE(data.size(), 5);

    c.setCatalogueRow(0, QStringLiteral("x"));  // out of range: ignored
    c.setCatalogueRow(18, QStringLiteral("x"));
    QCOMPARE(c.name(0), QString());
    QCOMPARE(c.name(18), QString());
    QCOMPARE(c.text(1, 10), QString());
    QCOMPARE(c.paramCount(99), 0);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
