#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/DataValidation.h"

#include <QtTest>

class TestDataValidation : public QObject
{
    Q_OBJECT

private slots:
    void rangeText_data();
    void rangeText();
    void initTestCase();
    void checkRange_data();
    void checkRange();
    void isWritableParam_data();
    void isWritableParam();
    void checkParamValue_data();
    void checkParamValue();
    void validateData_data();
    void validateData();
    void withoutTexts();

private:
    clsIniFile m_langIni{QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")};
    Catalogue m_catalogue;
};

namespace {

// Expected message argument in the validateData rows: a field's label, or
// the text of the speed rule.
constexpr int kSpeedRuleText = -1;

} // namespace

void TestDataValidation::initTestCase()
{
    m_catalogue.buildCatalogue(m_langIni);
    m_catalogue.buildParamRanges();
    // The rows below rely on the labels being there.
    QCOMPARE(m_catalogue.list(Catalogue::D, Catalogue::Captions).size(), 3);
}

void TestDataValidation::checkRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<QString>("maximum");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("result"); // the rewritten text when accepted

    const QString big = QStringLiteral("99999999");
    const QString negBig = QStringLiteral("-99999999");

    QTest::newRow("blank then 007 gives 7") << " 007" << "0" << "199" << true << "7";
    QTest::newRow("minus zero gives 0") << "-0" << "0" << "199" << true << "0";
    QTest::newRow("lone minus refused") << "-" << "0" << "199" << false << "";
    QTest::newRow("minus after digits refused") << "5-" << "0" << "199" << false << "";
    QTest::newRow("double minus refused") << "--5" << "-9" << "9" << false << "";
    QTest::newRow("minus inside refused") << "1-2" << "0" << "199" << false << "";
    QTest::newRow("400 nines refused") << QString(400, u'9') << "-99999999" << "99999999" << false << "";
    QTest::newRow("1 and 309 zeros refused") << "1" + QString(309, u'0') << "0" << "99999999" << false << "";
    QTest::newRow("upper bound inclusive") << "199" << "0" << "199" << true << "199";
    QTest::newRow("above upper bound") << "200" << "0" << "199" << false << "";
    QTest::newRow("lower bound inclusive") << "10" << "10" << "600000" << true << "10";
    QTest::newRow("below lower bound") << "9" << "10" << "600000" << false << "";
    QTest::newRow("empty refused") << "" << "0" << "199" << false << "";
    QTest::newRow("blanks only refused") << "   " << "0" << "199" << false << "";
    QTest::newRow("decimal point refused") << "1.5" << "0" << "199" << false << "";
    QTest::newRow("exponent refused") << "1e3" << "0" << "9999" << false << "";
    QTest::newRow("plus sign refused") << "+5" << "0" << "199" << false << "";
    QTest::newRow("one above 99999999 refused") << "100000000" << negBig << big << false << "";
    QTest::newRow("one below -99999999 refused") << "-100000000" << negBig << big << false << "";
    QTest::newRow("-99999999 accepted") << "-99999999" << negBig << big << true << "-99999999";
    QTest::newRow("thirty digits refused") << QString(30, u'9') << negBig << big << false << "";

    // Axis letter parameter ("A1","A0": no number can pass).
    QTest::newRow("letter A0") << "A0" << "A1" << "A0" << true << "A0";
    QTest::newRow("letter B7") << "B7" << "A1" << "A0" << true << "B7";
    QTest::newRow("lone C") << "C" << "A1" << "A0" << true << "C";
    QTest::newRow("letter trimmed") << " B " << "A1" << "A0" << true << "B";
    QTest::newRow("C1 sorts after C") << "C1" << "A1" << "A0" << false << "";
    QTest::newRow("lower case a0 refused") << "a0" << "A1" << "A0" << false << "";
    QTest::newRow("number 5 refused") << "5" << "A1" << "A0" << false << "";
    QTest::newRow("letter needs an A bound") << "B" << "0" << "1" << false << "";
    QTest::newRow("A on the maximum suffices") << "B" << "0" << "A2" << true << "B";
    QTest::newRow("digits after A are the limits") << "02" << "A0" << "A5" << true << "2";
    QTest::newRow("beyond the limits after A") << "6" << "A0" << "A5" << false << "";
}

void TestDataValidation::checkRange()
{
    QFETCH(QString, text);
    QFETCH(QString, minimum);
    QFETCH(QString, maximum);
    QFETCH(bool, accepted);
    QFETCH(QString, result);

    QCOMPARE(DataValidation::checkRange(text, minimum, maximum), accepted);
    if (accepted)
        QCOMPARE(text, result);
}

void TestDataValidation::isWritableParam_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("writable");

    for (const char *n : {"4", "19", "51", "52", "53", "56", "60", "70", "74", "78"})
        QTest::newRow(n) << QString::fromLatin1(n) << false;
    for (const char *n : {"0", "3", "5", "18", "20", "50", "54", "57", "59", "61", "69", "79", "99"})
        QTest::newRow(n) << QString::fromLatin1(n) << true;
    QTest::newRow("blank before 19") << " 19" << false;
    QTest::newRow("4.5 rounds to even 4") << "4.5" << false;
    QTest::newRow("5.5 rounds to 6") << "5.5" << true;
    QTest::newRow("69.5 rounds to 70") << "69.5" << false;
    QTest::newRow("78.5 rounds to even 78") << "78.5" << false;
    QTest::newRow("empty reads 0") << "" << true;
}

void TestDataValidation::isWritableParam()
{
    QFETCH(QString, text);
    QFETCH(bool, writable);
    QCOMPARE(DataValidation::isWritableParam(text), writable);
}

void TestDataValidation::checkParamValue_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");

    QTest::newRow("22: 50 in the gap") << "22" << "50" << false;
    QTest::newRow("22: 1 in the gap") << "22" << "1" << false;
    QTest::newRow("22: 99 in the gap") << "22" << "99" << false;
    QTest::newRow("22: 0 passes") << "22" << "0" << true;
    QTest::newRow("22: 100 passes") << "22" << "100" << true;
    QTest::newRow("22: maximum 250000") << "22" << "250000" << true;
    QTest::newRow("22: above maximum") << "22" << "250001" << false;
    QTest::newRow("21.5 rounds to 22") << "21.5" << "50" << false;
    QTest::newRow("21: no gap") << "21" << "50" << true;
    QTest::newRow("73: -2 passes") << "73" << "-2" << true;
    QTest::newRow("73: -3 refused") << "73" << "-3" << false;
    QTest::newRow("8: below minimum 10") << "8" << "9" << false;
    QTest::newRow("8: minimum 10") << "8" << "10" << true;
    QTest::newRow("7: value is not rounded") << "7" << "1.4" << false;
    QTest::newRow("number 100 refused") << "100" << "0" << false;
    QTest::newRow("number -1 refused") << "-1" << "0" << false;
    QTest::newRow("huge number refused") << "99999999999999999999" << "0" << false;
}

void TestDataValidation::checkParamValue()
{
    QFETCH(QString, number);
    QFETCH(QString, value);
    QFETCH(bool, valid);
    QCOMPARE(DataValidation::checkParamValue(number, value, m_catalogue), valid);
}

void TestDataValidation::validateData_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<int>("message");  // 0 when accepted
    QTest::addColumn<int>("argument"); // label number, or kSpeedRuleText
    QTest::addColumn<int>("field");
    QTest::addColumn<QStringList>("result"); // data afterwards

    const int P = Catalogue::P, D = Catalogue::D, C = Catalogue::C, L = Catalogue::Label;
    const QString x45(45, u'x');

    QTest::newRow("H: no parameters") << int(Catalogue::H) << QStringList{} << QStringList{"4"}
                                      << 0 << 0 << 0 << QStringList{"4"};
    QTest::newRow("command 0: nothing to check") << 0 << QStringList{"x"} << QStringList{}
                                                 << 0 << 0 << 0 << QStringList{};

    // Label command: a free text of 0..45 single-byte characters.
    QTest::newRow("label: 45 characters") << L << QStringList{x45} << QStringList{"17", "old"}
                                          << 0 << 0 << 0 << QStringList{"17", x45};
    QTest::newRow("label: 46 characters") << L << QStringList{x45 + u'x'}
                                          << QStringList{"17", "old"} << 17 << 1 << 1
                                          << QStringList{"17", "old"};
    QTest::newRow("label: blanks count as typed") << L << QStringList{u' ' + QString(44, u'x') + u' '}
                                                  << QStringList{"17", "old"} << 17 << 1 << 1
                                                  << QStringList{"17", "old"};
    QTest::newRow("label: stored trimmed") << L << QStringList{"  note "} << QStringList{"17", ""}
                                           << 0 << 0 << 0 << QStringList{"17", "note"};
    QTest::newRow("label: double-byte refused") << L << QStringList{QString::fromUtf16(u"ab\u3042")}
                                                << QStringList{"17", ""} << 17 << 1 << 1
                                                << QStringList{"17", ""};
    QTest::newRow("label: half-width katakana") << L << QStringList{QString::fromUtf16(u"\uFF71\uFF72")}
                                                << QStringList{"17", ""} << 0 << 0 << 0
                                                << QStringList{"17", QString::fromUtf16(u"\uFF71\uFF72")};
    QTest::newRow("label: empty") << L << QStringList{""} << QStringList{"17", "old"}
                                  << 0 << 0 << 0 << QStringList{"17", ""};
    QTest::newRow("label: comma refused") << L << QStringList{"a,b"} << QStringList{"17", ""}
                                          << 17 << 1 << 1 << QStringList{"17", ""};
    QTest::newRow("label: bar refused") << L << QStringList{"a|b"} << QStringList{"17", ""}
                                        << 17 << 1 << 1 << QStringList{"17", ""};
    // Decided by the bytes the file and the wire would get: control
    // characters and characters of two bytes are refused.
    for (const auto &[name, text] : {std::pair{"label: CR refused", QStringLiteral("a\rb")},
                                     std::pair{"label: tab refused", QStringLiteral("a\tb")},
                                     std::pair{"label: U+0080 refused", QStringLiteral("a\u0080")},
                                     std::pair{"label: no-break space refused", QStringLiteral("a\u00A0")},
                                     std::pair{"label: ideographic space refused", QString::fromUtf16(u"a\u3000")}})
        QTest::newRow(name) << L << QStringList{text} << QStringList{"17", ""} << 17 << 1 << 1
                            << QStringList{"17", ""};
    QTest::newRow("label: U+F8F0, the single byte A0, kept")
        << L << QStringList{QString::fromUtf16(u"a\uF8F0")} << QStringList{"17", ""} << 0 << 0 << 0
        << QStringList{"17", QString::fromUtf16(u"a\uF8F0")};
    QTest::newRow("AGO: 400 pasted nines refused")
        << int(Catalogue::AGO) << QStringList{QString(400, u'9')} << QStringList{"1", "0"} << 17 << 1 << 1
        << QStringList{"1", "0"};
    QTest::newRow("label: data grows") << L << QStringList{"abc"} << QStringList{"17"}
                                       << 0 << 0 << 0 << QStringList{"17", "abc"};

    // Parameter write.
    QTest::newRow("P: 19 not writable") << P << QStringList{"19", "0"} << QStringList{"5", "0", "0"}
                                        << 19 << 1 << 1 << QStringList{"5", "19", "0"};
    QTest::newRow("P: 22 with 50") << P << QStringList{"22", "50"} << QStringList{"5", "0", "0"}
                                   << 17 << 2 << 2 << QStringList{"5", "22", "50"};
    QTest::newRow("P: 22 with 0") << P << QStringList{"22", "0"} << QStringList{"5", "0", "0"}
                                  << 0 << 0 << 0 << QStringList{"5", "22", "0"};
    QTest::newRow("P: 22 with 100") << P << QStringList{"22", "100"} << QStringList{"5", "0", "0"}
                                    << 0 << 0 << 0 << QStringList{"5", "22", "100"};
    QTest::newRow("P: value above parameter limit") << P << QStringList{"90", "61"}
                                                    << QStringList{"5", "0", "0"} << 17 << 2 << 2
                                                    << QStringList{"5", "90", "61"};
    QTest::newRow("P: number 100 out of range") << P << QStringList{"100", "0"}
                                                << QStringList{"5", "0", "0"} << 17 << 1 << 1
                                                << QStringList{"5", "0", "0"};
    QTest::newRow("P: normalised") << P << QStringList{" 025", "-1 "} << QStringList{"5", "0", "0"}
                                   << 0 << 0 << 0 << QStringList{"5", "25", "-1"};

    // Speed: first speed not above the second.
    QTest::newRow("D: 600000 then 10") << D << QStringList{"600000", "10", "1"}
                                       << QStringList{"6", "10", "10", "1"} << 17 << kSpeedRuleText
                                       << 1 << QStringList{"6", "600000", "10", "1"};
    QTest::newRow("D: equal speeds") << D << QStringList{"500", "0500", "100"}
                                     << QStringList{"6", "10", "10", "1"} << 0 << 0 << 0
                                     << QStringList{"6", "500", "500", "100"};
    QTest::newRow("D: time out of range before the speed rule")
        << D << QStringList{"600000", "10", "1001"} << QStringList{"6", "10", "10", "1"} << 17 << 3
        << 3 << QStringList{"6", "600000", "10", "1"};

    // Field by field.
    QTest::newRow("refusal in field 2 keeps field 1 normalised")
        << C << QStringList{" 02", "5", "0", "0"} << QStringList{"8", "0", "0", "0", "0"} << 17 << 2
        << 2 << QStringList{"8", "2", "0", "0", "0"};
    QTest::newRow("empty field refused") << int(Catalogue::W) << QStringList{""}
                                         << QStringList{"16", "1"} << 17 << 1 << 1
                                         << QStringList{"16", "1"};
    QTest::newRow("U02: letter, flag, step") << int(Catalogue::U02) << QStringList{" B ", "1", "007"}
                                             << QStringList{"12", "A", "0", "0"} << 0 << 0 << 0
                                             << QStringList{"12", "B", "1", "7"};
    QTest::newRow("U02: number as axis") << int(Catalogue::U02) << QStringList{"1", "1", "7"}
                                         << QStringList{"12", "A", "0", "0"} << 17 << 1 << 1
                                         << QStringList{"12", "A", "0", "0"};
    QTest::newRow("fewer fields than parameters") << C << QStringList{"1", "2"}
                                                  << QStringList{"8", "0", "0", "0", "0"} << 0 << 0
                                                  << 0 << QStringList{"8", "1", "2", "0", "0"};
    QTest::newRow("extra fields ignored") << int(Catalogue::S) << QStringList{"3", "junk"}
                                          << QStringList{"9", "0"} << 0 << 0 << 0
                                          << QStringList{"9", "3"};
    QTest::newRow("short data grows") << C << QStringList{"1"} << QStringList{"8"} << 0 << 0 << 0
                                      << QStringList{"8", "1", "", "", ""};
}

void TestDataValidation::validateData()
{
    QFETCH(int, cmd);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, data);
    QFETCH(int, message);
    QFETCH(int, argument);
    QFETCH(int, field);
    QFETCH(QStringList, result);

    const DataCheck check = DataValidation::validateData(m_catalogue, m_langIni, cmd, fields, data);
    QCOMPARE(check.ok, message == 0);
    QCOMPARE(check.message, message);
    QCOMPARE(check.field, field);
    QString expectedArgument;
    if (argument == kSpeedRuleText)
        expectedArgument = m_langIni.GetINIStr(QStringLiteral("dlgData"), QStringLiteral("Mes006"));
    else if (argument > 0)
        expectedArgument = m_catalogue.list(cmd, Catalogue::Captions).at(argument - 1);
    QCOMPARE(check.argument, expectedArgument);
    if (argument != 0)
        QVERIFY(!check.argument.isEmpty());
    QCOMPARE(data, result);
}

void TestDataValidation::withoutTexts()
{
    // A language file without the captions: refusals still name a field,
    // with an empty label, and the checks themselves are unchanged.
    const clsIniFile none(QStringLiteral(VELOMAT_LANG_DIR "/missing.dat"));
    Catalogue bare;
    bare.buildCatalogue(none);
    bare.buildParamRanges();

    QStringList data{QStringLiteral("6")};
    DataCheck check = DataValidation::validateData(bare, none, Catalogue::D,
                                                   {"600000", "10", "1"}, data);
    QVERIFY(!check.ok);
    QCOMPARE(check.message, 17);
    QCOMPARE(check.field, 1);
    QCOMPARE(check.argument, QString());
    QCOMPARE(data, QStringList({"6", "600000", "10", "1"}));

    data = QStringList{QStringLiteral("5")};
    check = DataValidation::validateData(bare, none, Catalogue::P, {"4", "0"}, data);
    QVERIFY(!check.ok);
    QCOMPARE(check.message, 19);
    QCOMPARE(check.argument, QString());
}

void TestDataValidation::rangeText_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    const QString dots = QStringLiteral(" \u2026 ");
    QTest::newRow("AGO: eight digits") << int(Catalogue::AGO) << 1 << "-99999999" + dots + "99999999";
    QTest::newRow("D: time") << int(Catalogue::D) << 3 << "1" + dots + "1000";
    QTest::newRow("U02: axis letter only") << int(Catalogue::U02) << 1 << "A" + dots + "C";
    QTest::newRow("U02: jump target") << int(Catalogue::U02) << 3 << "0" + dots + "199";
    QTest::newRow("#: text length") << int(Catalogue::Label) << 1 << "0" + dots + "45";
    QTest::newRow("H: no field") << int(Catalogue::H) << 1 << "";
}

void TestDataValidation::rangeText()
{
    QFETCH(int, cmd);
    QFETCH(int, field);
    QFETCH(QString, text);
    QCOMPARE(DataValidation::rangeText(m_catalogue, cmd, field), text);
}

QTEST_GUILESS_MAIN(TestDataValidation)
#include "tst_datavalidation.moc"
