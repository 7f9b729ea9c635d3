#include "config/Messages.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "support/ScriptedPresenter.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>

using Result = ProgramFile::ReadResult;
using Steps = QList<QList<QStringList>>;

namespace {
// Steps written as cell data, the way the tables below give them.
QList<ProgStep> typed(const Steps &steps)
{
    QList<ProgStep> out;
    for (const QList<QStringList> &step : steps) {
        ProgStep cells;
        for (const QStringList &data : step)
            cells << ProgCell::fromData(data);
        out << cells;
    }
    return out;
}
} // namespace

class TestProgramFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void header_data();
    void header();
    void textAfter_data();
    void textAfter();
    void readFile_data();
    void readFile();
    void cell_data();
    void cell();
    void cellFault_data();
    void cellFault();
    void stepLimit_data();
    void stepLimit();
    void formatCell_data();
    void formatCell();
    void writeExample();
    void roundTrip_data();
    void roundTrip();
    void openThenSaveKeepsBytes_data();
    void openThenSaveKeepsBytes();
    void randomDocumentsRoundTrip();

private:
    Catalogue m_catalogue;
};

// The example program of the file format, five steps on two axes.
static const char kExample[] = "AXIS=2\r\nH:,H:\r\nD:100:5000:200,D:100:5000:200\r\n"
                               "AGO:10000,AGO:-500\r\nW:10,U00:\r\n#:END,U00:\r\n";

void TestProgramFile::initTestCase()
{
    m_catalogue.buildCatalogue(clsIniFile(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")));
    m_catalogue.buildParamRanges();
}

void TestProgramFile::header_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("axes");
    QTest::addColumn<QString>("firstStep"); // text after the first ","; null when none

    QTest::newRow("AXIS=2") << "AXIS=2" << 2 << QString();
    QTest::newRow("axis = 2, blanks and lower case") << "axis = 2" << 2 << QString();
    QTest::newRow("Axis=2") << "Axis=2" << 2 << QString();
    QTest::newRow("AXIS=3 text before and after") << "my AXIS=3 axes" << 3 << QString();
    QTest::newRow("AXIS2 without =") << "AXIS2" << -1 << QString();
    QTest::newRow("=2 without axis") << "=2" << -1 << QString();
    QTest::newRow("AXIS=4") << "AXIS=4" << -1 << QString();
    QTest::newRow("AXIS= empty count") << "AXIS=" << -1 << QString();
    QTest::newRow("2.5 rounds to even 2") << "AXIS=2.5" << 2 << QString();
    QTest::newRow("1.5 rounds to even 2") << "AXIS=1.5" << 2 << QString();
    QTest::newRow("3.4 is above 3") << "AXIS=3.4" << -1 << QString();
    QTest::newRow("0.6 is below 1") << "AXIS=0.6" << -1 << QString();
    QTest::newRow("comma: rest is the first step") << "AXIS=2,H:,H:" << 2 << "H:,H:";
    QTest::newRow("comma before the count") << "AXIS=,2" << -1 << "2";
    QTest::newRow("empty line") << "" << -1 << QString();
}

void TestProgramFile::header()
{
    QFETCH(QString, line);
    QFETCH(int, axes);
    QFETCH(QString, firstStep);
    QString rest = QStringLiteral("unset");
    QCOMPARE(ProgramFile::readHeader(line, &rest), axes);
    QCOMPARE(rest, firstStep);
    QCOMPARE(rest.isNull(), firstStep.isNull());
}

void TestProgramFile::textAfter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("after");
    QTest::addColumn<QString>("expected");

    QTest::newRow("after, case-insensitive") << "xAxIs=2" << "axis" << true << "=2";
    QTest::newRow("before") << "ab=cd=ef" << "=" << false << "ab";
    QTest::newRow("after the first occurrence only") << "ab=cd=ef" << "=" << true << "cd=ef";
    QTest::newRow("missing separator gives empty") << "abc" << "=" << true << "";
    QTest::newRow("missing separator, before") << "abc" << "=" << false << "";
}

void TestProgramFile::textAfter()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(bool, after);
    QFETCH(QString, expected);
    QCOMPARE(ProgramFile::textAfter(text, separator, after), expected);
}

void TestProgramFile::readFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expectedAxes");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("line");      // for a failure
    QTest::addColumn<int>("stepCount"); // for success
    QTest::addColumn<QString>("reason"); // a part of it, for a failure

    QTest::newRow("example program") << kExample << 2 << int(Result::Ok) << 0 << 5 << "";
    QTest::newRow("lone CR ends lines") << "AXIS=2\rH:,H:\rW:1,W:2\r" << 2 << int(Result::Ok) << 0 << 2 << "";
    QTest::newRow("last line without line end") << "AXIS=1\r\nH:\r\nW:1" << 1 << int(Result::Ok) << 0 << 2 << "";
    QTest::newRow("lone LF ends a line")
        << "AXIS=2\r\nAGO:1,AGO:2\nAGO:3,AGO:4\r\n" << 2 << int(Result::Ok) << 0 << 2 << "";
    QTest::newRow("LF-only file") << "AXIS=1\nH:\nW:1\n" << 1 << int(Result::Ok) << 0 << 2 << "";
    QTest::newRow("LF-only file, failure gives the file line")
        << "AXIS=1\nH:\n\nW:0\n" << 1 << int(Result::BadLine) << 4 << 0 << "outside";
    QTest::newRow("blank lines skipped and not counted")
        << "AXIS=1\r\n\r\n   \r\nH:\r\n\r\nW:5\r\n  \r\n" << 1 << int(Result::Ok) << 0 << 2 << "";
    QTest::newRow("failure after blank lines gives the file line")
        << "AXIS=1\r\n\r\n   \r\nH:\r\n\r\nAGO:+5\r\n" << 1 << int(Result::BadLine) << 6 << 0 << "axis 1";
    QTest::newRow("failing cell names its axis")
        << "AXIS=2\r\nH:,H:\r\nAGO:1,AGO:x\r\n" << 2 << int(Result::BadLine) << 3 << 0 << "axis 2, cell \"AGO:x\"";
    QTest::newRow("tab line is not blank") << "AXIS=1\r\n\t\r\n" << 1 << int(Result::BadLine) << 2 << 0 << "no known command";
    QTest::newRow("header only: zero steps") << "AXIS=2\r\n" << 2 << int(Result::Ok) << 0 << 0 << "";
    QTest::newRow("empty file") << "" << 2 << int(Result::BadHeader) << 1 << 0 << "empty";
    QTest::newRow("blank first line") << "\r\nAXIS=2\r\n" << 2 << int(Result::BadHeader) << 1 << 0 << "axis count";
    QTest::newRow("AXIS=4") << "AXIS=4\r\nH:\r\n" << 1 << int(Result::BadHeader) << 1 << 0 << "axis count";
    QTest::newRow("three-axis file, two expected")
        << "AXIS=3\r\nH:,H:,H:\r\n" << 2 << int(Result::WrongAxisCount) << 1 << 0 << "3 axes, 2 expected";
    QTest::newRow("header comma: first step on line 1")
        << "AXIS=2,H:,H:\r\nW:1,W:2\r\n" << 2 << int(Result::Ok) << 0 << 2 << "";
    QTest::newRow("header comma: bad first step fails on line 1")
        << "AXIS=2,H:\r\nW:1,W:2\r\n" << 2 << int(Result::BadLine) << 1 << 0 << "1 cell for 2 axes";
    QTest::newRow("header comma with nothing after")
        << "AXIS=2,\r\nH:,H:\r\n" << 2 << int(Result::Ok) << 0 << 1 << "";
    QTest::newRow("AGO:100,H: in a 3-axis file")
        << "AXIS=3\r\nAGO:100,H:\r\n" << 3 << int(Result::BadLine) << 2 << 0 << "2 cells for 3 axes";
    QTest::newRow("too many cells") << "AXIS=1\r\nH:,H:\r\n" << 1 << int(Result::BadLine) << 2 << 0 << "2 cells for 1 axis";
    QTest::newRow("empty cell") << "AXIS=3\r\nH:,,H:\r\n" << 3 << int(Result::BadLine) << 2 << 0 << "axis 2";
    QTest::newRow("#: text with a comma splits the cell")
        << "AXIS=1\r\n#:a,b\r\n" << 1 << int(Result::BadLine) << 2 << 0 << "2 cells";
}

void TestProgramFile::readFile()
{
    QFETCH(QString, text);
    QFETCH(int, expectedAxes);
    QFETCH(int, status);
    QFETCH(int, line);
    QFETCH(int, stepCount);
    QFETCH(QString, reason);

    const Result r = ProgramFile::readProgram(m_catalogue, TextCodec::encode(text), expectedAxes, 200);
    QCOMPARE(int(r.status), status);
    if (status == Result::Ok) {
        QCOMPARE(r.steps.size(), stepCount);
        QCOMPARE(r.axisCount, expectedAxes);
        for (const auto &step : r.steps)
            QCOMPARE(step.size(), expectedAxes);
        return;
    }
    QCOMPARE(r.line, line);
    QVERIFY2(r.reason.contains(reason), qPrintable(r.reason));
    QVERIFY(r.steps.isEmpty()); // never a partial program
    if (status == Result::WrongAxisCount)
        QCOMPARE(r.axisCount, 3);
}

void TestProgramFile::cell_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QStringList>("data"); // expected cell data; empty: refused
    QTest::addColumn<QString>("reason");   // a part of the reason when refused

    const QStringList refused;
    const QString text45(45, u'x');
    const QString katakana45(45, QChar(0xFF71)); // half-width katakana: one byte each

    QTest::newRow("D: first speed above second") << "D:500:100:10" << refused << "greater";
    QTest::newRow("U01: 400 nines too long to convert") << "U01:" + QString(400, u'9') << refused << "outside";
    QTest::newRow("AGO: 1 and 309 zeros too long to convert") << "AGO:1" + QString(309, u'0') << refused << "outside";
    QTest::newRow("AGO: minus and 400 nines") << "AGO:-" + QString(400, u'9') << refused << "outside";
    QTest::newRow("#: 10000 characters, reason stays short") << "#:" + QString(10000, u'x') << refused << "x\"...";
    QTest::newRow("D: equal speeds") << "D:100:100:10" << QStringList{"6", "100", "100", "10"} << "";
    QTest::newRow("D: fields kept untrimmed") << "D: 100 : 200 :10" << QStringList{"6", " 100 ", " 200 ", "10"} << "";
    QTest::newRow("P:53:3121 digit code") << "P:53:3121" << QStringList{"5", "53", "3121"} << "";
    QTest::newRow("P:53:3131 third digit above 2") << "P:53:3131" << refused << "parameter 53";
    QTest::newRow("P:53:4000 first digit above 3") << "P:53:4000" << refused << "parameter 53";
    QTest::newRow("P:53:0200 second digit above 1") << "P:53:0200" << refused << "parameter 53";
    QTest::newRow("P:53:312 three digits") << "P:53:312" << refused << "parameter 53";
    QTest::newRow("P:100:0 parameter number above 99") << "P:100:0" << refused << "parameter 1";
    QTest::newRow("P:4:99 within parameter 4") << "P:4:99" << QStringList{"5", "4", "99"} << "";
    QTest::newRow("P:4:100 above parameter 4") << "P:4:100" << refused << "controller parameter 4";
    QTest::newRow("P:25:-2 below parameter 25") << "P:25:-2" << refused << "controller parameter 25";
    QTest::newRow("P:22 has no rule of its own") << "P:22:250000" << QStringList{"5", "22", "250000"} << "";
    QTest::newRow("P:5 one field of two") << "P:5" << refused << "needs 2 parameters, 1 given";
    QTest::newRow("U02:B:1:5") << "U02:B:1:5" << QStringList{"12", "B", "1", "5"} << "";
    QTest::newRow("u02:b:1:5 lower case") << "u02:b:1:5" << QStringList{"12", "b", "1", "5"} << "";
    QTest::newRow("U02:B1 sorts between A and F") << "U02:B1:1:5" << QStringList{"12", "B1", "1", "5"} << "";
    QTest::newRow("U02:F1 sorts after F") << "U02:F1:1:5" << refused << "letter A to F";
    QTest::newRow("U02:G:1:5") << "U02:G:1:5" << refused << "letter A to F";
    // The writer joins "E#" and ":" into "#:", "EW" and ":" into "W:": the
    // command the cell starts with is the one it holds.
    QTest::newRow("U02:E#:1:5 as written") << "U02:E#:1:5" << QStringList{"12", "E#", "1", "5"} << "";
    QTest::newRow("U02:EW:1:5 as written") << "U02:EW:1:5" << QStringList{"12", "EW", "1", "5"} << "";
    QTest::newRow("U02:1:1:5 number for a letter") << "U02:1:1:5" << refused << "letter A to F";
    QTest::newRow("U02:B:2:5 input state above 1") << "U02:B:2:5" << refused << "parameter 2";
    QTest::newRow("#: 45 characters") << "#:" + text45 << QStringList{"17", text45} << "";
    QTest::newRow("#: 46 characters") << "#:x" + text45 << refused << "46 characters";
    QTest::newRow("#: 45 half-width katakana") << "#:" + katakana45 << QStringList{"17", katakana45} << "";
    QTest::newRow("#: double-byte character") << QString::fromUtf16(u"#:\u3042") << refused << "double-byte";
    // Sent, the text would be cut at the "|" and come back shortened.
    QTest::newRow("#: text with |") << "#:A|B" << refused << "\"|\"";
    QTest::newRow("#:A:B keeps A:B") << "#:A:B" << QStringList{"17", "A:B"} << "";
    QTest::newRow("#: empty text") << "#:" << QStringList{"17", ""} << "";
    QTest::newRow("#: wins over mnemonics in its text") << "x#:AGO:5" << QStringList{"17", "AGO:5"} << "";
    QTest::newRow("AGO: empty parameter") << "AGO:" << refused << "empty";
    QTest::newRow("AGO:+5 plus sign") << "AGO:+5" << refused << "digits";
    QTest::newRow("AGO:007") << "AGO:007" << QStringList{"1", "007"} << "";
    QTest::newRow("AGO: eight digits") << "AGO:-99999999" << QStringList{"1", "-99999999"} << "";
    QTest::newRow("AGO: nine digits") << "AGO:100000000" << refused << "outside";
    QTest::newRow("AGO:12-3 reads 12") << "AGO:12-3" << QStringList{"1", "12-3"} << "";
    QTest::newRow("AGO: tab is no blank") << "AGO:\t5" << refused << "digits";
    QTest::newRow("ago:5 lower case") << "ago:5" << QStringList{"1", "5"} << "";
    QTest::newRow("xAGO:5 text in front") << "xAGO:5" << QStringList{"1", "5"} << "";
    QTest::newRow("AGO:5:7 surplus field dropped") << "AGO:5:7" << QStringList{"1", "5"} << "";
    QTest::newRow("H: fields not looked at") << "H:junk:9" << QStringList{"4"} << "";
    QTest::newRow("unknown command") << "XYZ:1" << refused << "no known command";
    QTest::newRow("mnemonic without colon") << "AGO5" << refused << "no known command";
    QTest::newRow("C: third output above 2") << "C:0:1:3:0" << refused << "parameter 3";
    QTest::newRow("C: three fields of four") << "C:0:1:2" << refused << "needs 4 parameters";
    QTest::newRow("W:0 below 1") << "W:0" << refused << "outside 1 to 65535";
    QTest::newRow("U03: repeat count 0") << "U03:199:0" << refused << "parameter 2";
}

void TestProgramFile::cell()
{
    QFETCH(QString, cell);
    QFETCH(QStringList, data);
    QFETCH(QString, reason);

    const Result r = ProgramFile::readProgram(m_catalogue, TextCodec::encode("AXIS=1\r\nH:\r\n" + cell + "\r\n"), 1, 100);
    if (data.isEmpty()) {
        QCOMPARE(int(r.status), int(Result::BadLine));
        QCOMPARE(r.line, 3);
        QVERIFY2(r.reason.startsWith("axis 1") && r.reason.contains(reason), qPrintable(r.reason));
        QVERIFY2(r.reason.size() < 160, qPrintable(r.reason)); // never the whole cell
        return;
    }
    QCOMPARE(int(r.status), int(Result::Ok));
    QCOMPARE(r.steps.size(), 2);
    QCOMPARE(r.steps.at(1), typed({{data}}).first());
    // What the reader took, saved again, passes the same judgement.
    QCOMPARE(ProgramFile::cellFault(m_catalogue, r.steps.at(1).first()), QString());
}

void TestProgramFile::cellFault_data()
{
    QTest::addColumn<QStringList>("data"); // cell data
    QTest::addColumn<QString>("reason");   // a part of the reason; empty: no fault

    QTest::newRow("empty cell is written as U00:") << QStringList{""} << "";
    QTest::newRow("AGO:100") << QStringList{"1", "100"} << "";
    QTest::newRow("W:0 below 1") << QStringList{"16", "0"} << "parameter 1 \"0\" is outside 1 to 65535";
    QTest::newRow("W: missing parameter written empty") << QStringList{"16"} << "is empty";
    QTest::newRow("#: text with |") << QStringList{"17", "A|B"} << "\"|\"";
    QTest::newRow("U02: comma in the axis letter") << QStringList{"12", "B,x", "1", "5"} << "line end";
    QTest::newRow("#: text with a line feed") << QStringList{"17", "A\nB"} << "line end";
}

void TestProgramFile::cellFault()
{
    QFETCH(QStringList, data);
    QFETCH(QString, reason);
    const QString fault = ProgramFile::cellFault(m_catalogue, ProgCell::fromData(data));
    if (reason.isEmpty())
        QCOMPARE(fault, QString());
    else
        QVERIFY2(fault.contains(reason), qPrintable(fault));
}

void TestProgramFile::stepLimit_data()
{
    QTest::addColumn<int>("lineCount");  // step lines in the file
    QTest::addColumn<int>("maxStep");
    QTest::addColumn<int>("brokenStep"); // 0: none
    QTest::addColumn<int>("steps");      // -1: refused

    QTest::newRow("150 lines, limit 100") << 150 << 100 << 0 << 100;
    QTest::newRow("broken line beyond the limit not read") << 150 << 100 << 120 << 100;
    QTest::newRow("broken first line beyond the limit") << 150 << 100 << 101 << 100;
    QTest::newRow("broken last line within the limit") << 150 << 100 << 100 << -1;
    QTest::newRow("200 lines, limit 200") << 200 << 200 << 0 << 200;
}

void TestProgramFile::stepLimit()
{
    QFETCH(int, lineCount);
    QFETCH(int, maxStep);
    QFETCH(int, brokenStep);
    QFETCH(int, steps);

    QByteArray bytes = "AXIS=1\r\n";
    for (int i = 1; i <= lineCount; ++i)
        bytes += i == brokenStep ? "AGO:x\r\n" : "W:" + QByteArray::number(i) + "\r\n\r\n";
    const Result r = ProgramFile::readProgram(m_catalogue, bytes, 1, maxStep);
    if (steps < 0) {
        QCOMPARE(int(r.status), int(Result::BadLine));
        QCOMPARE(r.line, 2 * brokenStep);
        return;
    }
    QCOMPARE(int(r.status), int(Result::Ok));
    QCOMPARE(r.steps.size(), steps);
    QCOMPARE(r.steps.last().first().toData(), (QStringList{"16", QString::number(steps)}));
    // The lines left out are counted (blank ones not), so the user can be told.
    QCOMPARE(r.ignoredLines, lineCount - steps);
}

void TestProgramFile::formatCell_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QString>("text");

    QTest::newRow("H:") << QStringList{"4"} << "H:";
    QTest::newRow("D: three parameters") << QStringList{"6", "100", "5000", "200"} << "D:100:5000:200";
    QTest::newRow("D: trimmed, missing one empty") << QStringList{"6", " 100 ", "5000"} << "D:100:5000:";
    QTest::newRow("AGO: surplus dropped") << QStringList{"1", "5", "6"} << "AGO:5";
    QTest::newRow("#: colons kept") << QStringList{"17", " a:b "} << "#:a:b";
    QTest::newRow("empty cell written as U00:") << QStringList{""} << "U00:";
    QTest::newRow("no such command written as U00:") << QStringList{"18", "1"} << "U00:";
}

void TestProgramFile::formatCell()
{
    QFETCH(QStringList, data);
    QFETCH(QString, text);
    QCOMPARE(ProgramFile::formatCell(m_catalogue, ProgCell::fromData(data)), text);
}

void TestProgramFile::writeExample()
{
    const Steps steps{
        {{"4"}, {"4"}},
        {{"6", "100", "5000", "200"}, {"6", "100", "5000", "200"}},
        {{"1", "10000"}, {"1", "-500"}},
        {{"16", "10"}, {"10"}},
        {{"17", "END"}, {"10"}},
    };
    QCOMPARE(ProgramFile::writeProgram(m_catalogue, 2, typed(steps)), QByteArray(kExample));
    QCOMPARE(ProgramFile::writeProgram(m_catalogue, 2, {}), QByteArray("AXIS=2\r\n"));
    // Half-width katakana are single bytes of code page 932.
    QCOMPARE(ProgramFile::writeProgram(m_catalogue, 1, typed({{{"17", QString(QChar(0xFF71))}}})),
             QByteArray("AXIS=1\r\n#:\xB1\r\n"));
}

void TestProgramFile::roundTrip_data()
{
    QTest::addColumn<int>("axes");
    QTest::newRow("one axis") << 1;
    QTest::newRow("two axes") << 2;
    QTest::newRow("three axes") << 3;
}

void TestProgramFile::roundTrip()
{
    QFETCH(int, axes);
    // Every command once, with parameters padded with spaces, in every axis.
    const QList<QStringList> cells{
        {"1", " -500 "}, {"2", "7"}, {"3", "0"}, {"4"}, {"5", "53", " 3121"}, {"5", "8", "500000"},
        {"6", "10", "600000", "1000"}, {"7", "-99999999"}, {"8", "0", "1", "2", "0"}, {"9", "15"},
        {"10"}, {"11", "199"}, {"12", "f", "0", "5"}, {"13", "3", "8388607"}, {"14"}, {"15"},
        {"16", "65535"}, {"17", QString::fromUtf16(u"text: with colon \uFF71")},
    };
    Steps steps;
    for (const QStringList &cell : cells)
        steps << QList<QStringList>(axes, cell);

    const QByteArray bytes = ProgramFile::writeProgram(m_catalogue, axes, typed(steps));
    const Result r = ProgramFile::readProgram(m_catalogue, bytes, axes, 200);
    QCOMPARE(int(r.status), int(Result::Ok));
    QCOMPARE(r.steps.size(), steps.size());
    for (qsizetype s = 0; s < steps.size(); ++s) {
        for (int a = 0; a < axes; ++a) {
            QStringList expected = steps.at(s).at(a);
            for (QString &field : expected)
                field = field.trimmed();
            QCOMPARE(r.steps.at(s).at(a).toData(), expected);
        }
    }
    QCOMPARE(ProgramFile::writeProgram(m_catalogue, axes, r.steps), bytes);
}

namespace {

// Every byte a free text may hold, each alone in a line of its own kind:
// lead bytes stray (followed by 0x7F, which is no trail byte), the others
// in runs. The line split takes CR, LF and ",", the writer trims spaces.
QByteArray everyTextByte()
{
    QByteArray file = "AXIS=1\r\n";
    QByteArray text;
    auto flush = [&] {
        file += "#:" + text + "\r\n";
        text.clear();
    };
    for (int b = 0; b <= 0xFF; ++b) {
        if (b == '\r' || b == '\n' || b == ',' || b == ' ' || b == '|')
            continue;
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        const QByteArray token = lead ? QByteArray(1, char(b)) + '\x7F' : QByteArray(1, char(b));
        if (text.size() + token.size() > 45)
            flush();
        text += token;
    }
    flush();
    return file;
}

// A catalogue whose display names come from `names` (null: the language
// file's names).
Catalogue catalogueNamed(const std::function<QString(int)> &names)
{
    Catalogue c;
    c.buildCatalogue(clsIniFile(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")));
    c.buildParamRanges();
    if (names) {
        for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
            QStringList row;
            for (int col = 0; col < Catalogue::kColumnCount; ++col)
                row << (col == Catalogue::Name ? names(cmd) : c.text(cmd, col));
            c.setCatalogueRow(cmd, row.join(u'|'));
        }
    }
    return c;
}

} // namespace

void TestProgramFile::openThenSaveKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved"); // null: the file itself

    const QByteArray same;
    QTest::newRow("single bytes the converter would change")
        << QByteArray("AXIS=1\r\n#:\x80\xA0\xFD\xFE\xFF\x81\r\n") << same;
    QTest::newRow("control bytes 1A 1C 7F 01") << QByteArray("AXIS=1\r\n#:a\x1A\x1C\x7F\x01z\r\n") << same;
    QTest::newRow("tabs around a label") << QByteArray("AXIS=1\r\n#:\tabc\t\r\nH:\r\n") << same;
    QTest::newRow("duplicate code after a stray lead byte in a letter parameter")
        << QByteArray("AXIS=1\r\nU02:B\xee\xee\xf9:1:5\r\n") << same;
    QTest::newRow("every byte a free text may hold") << everyTextByte() << same;
    QTest::newRow("two axes, every command")
        << QByteArray("AXIS=2\r\nH:,H:\r\nD:100:5000:200,D:100:5000:200\r\nAGO:10000,AGO:-500\r\n"
                      "P:53:3121,P:11:-1234\r\nU02:B:1:5,U02:B:1:5\r\nC:0:1:2:0,S:15\r\nW:10,U00:\r\n"
                      "#:END,U00:\r\n")
        << same;
    QTest::newRow("LF line ends, written with CR LF")
        << QByteArray("AXIS=1\nH:\nW:1\n") << QByteArray("AXIS=1\r\nH:\r\nW:1\r\n");
    QTest::newRow("mixed line ends") << QByteArray("AXIS=1\rH:\r\n\nW:1")
                                     << QByteArray("AXIS=1\r\nH:\r\nW:1\r\n");
}

// What File > Open reads into a document, File > Save writes back: the same
// bytes, whatever display names the language file gives the commands.
void TestProgramFile::openThenSaveKeepsBytes()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);
    if (saved.isNull())
        saved = file;

    const QList<std::pair<const char *, std::function<QString(int)>>> namings{
        {"language file", nullptr},
        {"no names", [](int) { return QString(); }},
        {"one name for all", [](int) { return QStringLiteral("Cmd"); }},
        {"names with commas", [](int cmd) { return QStringLiteral("a,%1").arg(cmd); }},
    };
    for (const auto &[naming, names] : namings) {
        const Catalogue catalogue = catalogueNamed(names);
        const Result r = ProgramFile::readProgram(catalogue, file, file.startsWith("AXIS=2") ? 2 : 1, 200);
        QVERIFY2(r.status == Result::Ok, qPrintable(QLatin1String(naming) + u' ' + r.reason));

        clsIniFile lang;
        ScriptedPresenter presenter;
        Messages messages(lang, presenter);
        ProgramDocument doc(catalogue, lang, messages, 200);
        doc.setAxis(r.axisCount);
        QVERIFY(doc.putSteps(r.steps));
        QVERIFY2(ProgramFile::writeProgram(catalogue, r.axisCount, doc.steps()) == saved, naming);
    }
}

// A valid cell of command `cmd` with random values within its limits.
static ProgCell randomCell(QRandomGenerator &rng, const Catalogue &catalogue, int cmd)
{
    auto n = [&](qint64 lo, qint64 hi) { return QString::number(lo + qint64(rng.bounded(quint64(hi - lo + 1)))); };
    const QString eight = n(-99999999, 99999999);
    switch (cmd) {
    case Catalogue::AGO: case Catalogue::BGO: case Catalogue::MGO: case Catalogue::R:
        return {cmd, {eight}};
    case Catalogue::P: {
        const int no = rng.bounded(100);
        if (no == 53)
            return {cmd, {"53", n(0, 3) + n(0, 1) + n(0, 2) + n(0, 1)}};
        return {cmd, {QString::number(no), n(catalogue.getParamMin(no).toLongLong(),
                                             catalogue.getParamMax(no).toLongLong())}};
    }
    case Catalogue::D: {
        const QString first = n(10, 600000);
        return {cmd, {first, n(first.toLongLong(), 600000), n(1, 1000)}};
    }
    case Catalogue::C: return {cmd, {n(0, 2), n(0, 2), n(0, 2), n(0, 2)}};
    case Catalogue::S: return {cmd, {n(0, 15)}};
    case Catalogue::U01: return {cmd, {n(0, 199)}};
    case Catalogue::U02: return {cmd, {QString(QChar(u'A' + rng.bounded(6))), n(0, 1), n(0, 199)}};
    case Catalogue::U03: return {cmd, {n(0, 199), n(1, 8388607)}};
    case Catalogue::W: return {cmd, {n(1, 65535)}};
    case Catalogue::Label: {
        // Printable single bytes but "," (which separates cells) and "|"
        // (which separates transmitted parts), no space at either end (the
        // writer trims them).
        QString text;
        for (int i = rng.bounded(46); i > 0; --i) {
            const char c = char(rng.bounded(0x21, 0x7F));
            text += QChar(c == ',' || c == '|' ? 'x' : c);
        }
        return {cmd, {text}};
    }
    default:
        return {cmd, {}};
    }
}

// Random valid documents, written and read back, are the same documents,
// and the document writes them back to the same bytes.
void TestProgramFile::randomDocumentsRoundTrip()
{
    QRandomGenerator rng(20261208);
    for (int round = 0; round < 300; ++round) {
        const int axes = 1 + rng.bounded(3);
        QList<ProgStep> steps(rng.bounded(60));
        for (ProgStep &step : steps)
            for (int a = 0; a < axes; ++a)
                step << randomCell(rng, m_catalogue, 1 + rng.bounded(Catalogue::kCommandCount));

        const QByteArray bytes = ProgramFile::writeProgram(m_catalogue, axes, steps);
        const Result r = ProgramFile::readProgram(m_catalogue, bytes, axes, 200);
        QVERIFY2(r.status == Result::Ok, qPrintable(QStringLiteral("round %1: %2").arg(round).arg(r.reason)));
        QCOMPARE(r.steps, steps);

        clsIniFile lang;
        ScriptedPresenter presenter;
        Messages messages(lang, presenter);
        ProgramDocument doc(m_catalogue, lang, messages, 200);
        doc.setAxis(axes);
        QVERIFY(doc.putSteps(r.steps));
        QCOMPARE(ProgramFile::writeProgram(m_catalogue, axes, doc.steps()), bytes);
    }
}

QTEST_GUILESS_MAIN(TestProgramFile)
#include "tst_programfile.moc"
