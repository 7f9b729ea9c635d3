#include "config/TextCodec.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/mdlUpLoad.h"

#include <QtTest>

namespace {
// A step as texts, one per axis: the cell data joined by "|" ("1|1000").
QStringList cellTexts(const ProgStep &step)
{
    QStringList out;
    for (const ProgCell &cell : step)
        out << cell.toData().join(u'|');
    return out;
}
} // namespace

class TestUpload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void line_data();
    void line();
    void tableLimits_data();
    void tableLimits();
    void problems_data();
    void problems();

private:
    Catalogue m_catalogue;
};

void TestUpload::initTestCase()
{
    m_catalogue.buildCatalogue(clsIniFile(QStringLiteral(VELOMAT_LANG_DIR "/LANG1.DAT")));
}

void TestUpload::line_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("step"); // empty: the line is refused

    using S = QStringList;
    const S refused;
    QTest::newRow("three AGO axes, signs and zeros")
        << 3 << QByteArray("AGO:A+00001000|AGO:B-00000500|AGO:C+00000000") << S{"1|1000", "1|-500", "1|0"};
    QTest::newRow("BGO and MGO") << 2 << QByteArray("BGO:A+00000001|MGO:B-00000002") << S{"2|1", "3|-2"};
    QTest::newRow("missing axes keep U00") << 3 << QByteArray("H:A") << S{"4", "10", "10"};
    QTest::newRow("U01 fills both axes") << 2 << QByteArray("U01:0005") << S{"11|5", "11|5"};
    QTest::newRow("fill ignores further parts")
        << 3 << QByteArray("U04:|junk|junk|junk") << S{"14", "14", "14"};
    QTest::newRow("fill in a later part refused") << 2 << QByteArray("AGO:A+00001000|U01:0005") << refused;
    QTest::newRow("P 53 bits joined") << 1 << QByteArray("P:53,1,0,1,1") << S{"5|53|1011"};
    QTest::newRow("P axis parameter") << 1 << QByteArray("P:11A-00001234") << S{"5|11|-1234"};
    QTest::newRow("P leading zero number") << 1 << QByteArray("P:04,+00000007") << S{"5|4|7"};
    QTest::newRow("P 53 with four pieces refused") << 1 << QByteArray("P:53,1,0,111") << refused;
    QTest::newRow("P 53 piece no number refused") << 1 << QByteArray("P:53,1,0,1,x") << refused;
    QTest::newRow("P too short refused") << 1 << QByteArray("P:11A-0001234") << refused;
    QTest::newRow("P number not digits refused") << 1 << QByteArray("P:1xA-00001234") << refused;
    QTest::newRow("C four digits") << 1 << QByteArray("C:0120") << S{"8|0|1|2|0"};
    QTest::newRow("C sign refused") << 1 << QByteArray("C:01-0") << refused;
    QTest::newRow("H") << 1 << QByteArray("H:A") << S{"4"};
    QTest::newRow("H:AB length 4 refused") << 1 << QByteArray("H:AB") << refused;
    QTest::newRow("D three numbers") << 1 << QByteArray("D:A+0000100,+0005000,+00200") << S{"6|100|5000|200"};
    QTest::newRow("D two pieces refused") << 1 << QByteArray("D:A+0000100,+00050000+00200") << refused;
    QTest::newRow("D short refused") << 1 << QByteArray("D:A+000100,+0005000,+00200") << refused;
    QTest::newRow("R") << 1 << QByteArray("R:A-00001000") << S{"7|-1000"};
    QTest::newRow("R short refused") << 1 << QByteArray("R:A-0001000") << refused;
    QTest::newRow("S") << 1 << QByteArray("S:A05") << S{"9|5"};
    QTest::newRow("S short refused") << 1 << QByteArray("S:A5") << refused;
    QTest::newRow("U00, U99") << 2 << QByteArray("U00:|U99:") << S{"10", "15"};
    QTest::newRow("U00 long refused") << 1 << QByteArray("U00:1") << refused;
    QTest::newRow("U99 long refused") << 1 << QByteArray("U99:x") << refused;
    QTest::newRow("U01 long refused") << 1 << QByteArray("U01:00005") << refused;
    QTest::newRow("U02 first piece as sent") << 2 << QByteArray("U02:B,1,07") << S{"12|B|1|7", "12|B|1|7"};
    QTest::newRow("U02 two pieces refused") << 1 << QByteArray("U02:B,1") << refused;
    QTest::newRow("U02 state no number refused") << 1 << QByteArray("U02:B,x,07") << refused;
    QTest::newRow("U02 colon in the first piece refused") << 1 << QByteArray("U02:B:1,1,5") << refused;
    QTest::newRow("U03") << 1 << QByteArray("U03:+003,+00000100") << S{"13|3|100"};
    QTest::newRow("U03 short refused") << 1 << QByteArray("U03:+03,+00000100") << refused;
    QTest::newRow("W") << 1 << QByteArray("W:+00001000") << S{"16|1000"};
    QTest::newRow("W spaces and decimal point") << 1 << QByteArray("W:  +12.500") << S{"16|12.5"};
    QTest::newRow("W sign only refused") << 1 << QByteArray("W:+        ") << refused;
    QTest::newRow("W short refused") << 1 << QByteArray("W:+0001000") << refused;
    QTest::newRow("W:0 kept as sent") << 1 << QByteArray("W:+00000000") << S{"16|0"};
    QTest::newRow("# text keeps its colons") << 1 << QByteArray("#:HELLO:WORLD") << S{"17|HELLO:WORLD"};
    QTest::newRow("# text with CR refused") << 1 << QByteArray("#:HELLO\r#:WORLD") << refused;
    QTest::newRow("# text with LF refused") << 2 << QByteArray("#:HELLO\nWORLD") << refused;
    QTest::newRow("# text with comma refused") << 1 << QByteArray("#:HELLO,WORLD") << refused;
    // 0x81 0x7C is one double-byte character whose second byte is "|";
    // 0x80 and 0xB1 are single bytes above 0x7F.
    QTest::newRow("# code page 932 text, | as second byte")
        << 2 << QByteArray("#:\x81\x7c\x80\xb1")
        << S{"17|" + TextCodec::decode("\x81\x7c\x80\xb1"), "17|" + TextCodec::decode("\x81\x7c\x80\xb1")};
    QTest::newRow("prefix must be upper case") << 1 << QByteArray("Ago:A+00001000") << refused;
    QTest::newRow("unknown prefix refused") << 1 << QByteArray("XGO:A+00001000") << refused;
    QTest::newRow("no colon refused") << 1 << QByteArray("AGO") << refused;
    QTest::newRow("colon first refused") << 1 << QByteArray(":AGO") << refused;
    QTest::newRow("bad second part refuses the line") << 2 << QByteArray("H:A|H:BB") << refused;
    QTest::newRow("empty part refused") << 3 << QByteArray("H:A||H:C") << refused;
    QTest::newRow("four parts refused") << 3 << QByteArray("H:A|H:B|H:C|H:A") << refused;
}

// One line into a fresh table: the step it gives, or nothing stored when
// it is refused; the next good line then still fills step 1.
void TestUpload::line()
{
    QFETCH(int, axes);
    QFETCH(QByteArray, line);
    QFETCH(QStringList, step);

    mdlUpLoad upload(m_catalogue);
    upload.initUpload(axes);
    QCOMPARE(upload.bTakeUploadLine(line), !step.isEmpty());
    QList<ProgStep> steps = upload.finishUpload();
    if (step.isEmpty()) {
        QVERIFY(steps.isEmpty());
        QVERIFY(upload.bTakeUploadLine("H:A"));
        steps = upload.finishUpload();
        QCOMPARE(steps.size(), 1);
        QCOMPARE(steps[0].first(), (ProgCell{Catalogue::H, {}}));
        for (int a = 1; a < axes; ++a)
            QCOMPARE(steps[0][a].cmd, int(Catalogue::U00));
    } else {
        QCOMPARE(steps.size(), 1);
        QCOMPARE(cellTexts(steps[0]), step);
    }
}

void TestUpload::tableLimits_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("accepted");
    QTest::addColumn<int>("steps");

    QTest::newRow("one axis: 150 lines give 100 steps") << 1 << 150 << 150 << 100;
    QTest::newRow("two axes: 200 lines fit") << 2 << 200 << 200 << 200;
    QTest::newRow("a 201st line is refused") << 3 << 205 << 200 << 200;
}

void TestUpload::tableLimits()
{
    QFETCH(int, axes);
    QFETCH(int, lines);
    QFETCH(int, accepted);
    QFETCH(int, steps);

    mdlUpLoad upload(m_catalogue);
    // What an earlier upload left is not carried over.
    upload.initUpload(axes);
    QVERIFY(upload.bTakeUploadLine("U04:"));
    upload.initUpload(axes);

    int taken = 0;
    for (int i = 1; i <= lines; ++i) {
        const QByteArray line = "W:+" + QByteArray::number(i).rightJustified(8, '0') + "|H:B|H:C";
        taken += upload.bTakeUploadLine(line) ? 1 : 0;
    }
    QCOMPARE(taken, accepted);
    QCOMPARE(upload.upStep(), accepted + 1);
    const QList<ProgStep> result = upload.finishUpload();
    QCOMPARE(result.size(), steps);
    QCOMPARE(result.first().size(), axes);
    QCOMPARE(result.last().first(), (ProgCell{Catalogue::W, {QString::number(steps)}}));
}

void TestUpload::problems_data()
{
    QTest::addColumn<int>("axes");
    QTest::addColumn<QList<QByteArray>>("lines");
    // Each "line step axis: part of the reason".
    QTest::addColumn<QStringList>("problems");

    using L = QList<QByteArray>;
    using S = QStringList;
    QTest::newRow("fine lines give none")
        << 2 << L{"AGO:A+00001000|W:+00000010", "U01:0005", "#:HELLO", "D:A+0000100,+0005000,+00200",
                  "P:53,1,0,1,1", "U02:B,1,07", "C:0120|S:A15"} << S{};
    QTest::newRow("W:0") << 1 << L{"H:A", "W:+00000000"} << S{"2 2 1: outside 1 to 65535"};
    QTest::newRow("S:99") << 1 << L{"S:A99"} << S{"1 1 1: outside 0 to 15"};
    QTest::newRow("U01:500 noted once for its step") << 3 << L{"H:A|H:B|H:C", "U01:0500"} << S{"2 2 1: outside 0 to 199"};
    QTest::newRow("C:9999") << 2 << L{"H:A|C:9999"} << S{"1 1 2: parameter 1"};
    QTest::newRow("two-byte #: text") << 2 << L{"H:A|H:B", "#:\x82\xa0"} << S{"2 2 1: double-byte"};
    QTest::newRow("decimal point") << 1 << L{"W:  +12.500"} << S{"1 1 1: digits"};
    QTest::newRow("refused line counts as a line") << 1 << L{"XGO:1", "W:+00000000"} << S{"2 1 1: outside"};
    QTest::newRow("part beyond the axes not noted") << 1 << L{"H:A|W:+00000000"} << S{};
    QTest::newRow("step past 100 with one axis not noted") << 1 << L(100, "H:A") + L{"W:+00000000"} << S{};
    QTest::newRow("step 101 with two axes") << 2 << L(100, "H:A") + L{"W:+00000000"} << S{"101 101 1: outside"};
}

// The upload takes the values as sent and notes those File > Open would
// refuse, where they stand and why.
void TestUpload::problems()
{
    QFETCH(int, axes);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QStringList, problems);

    mdlUpLoad upload(m_catalogue);
    upload.initUpload(axes);
    for (const QByteArray &line : lines)
        upload.bTakeUploadLine(line);

    auto where = [](const QList<UploadProblem> &list) {
        QStringList out;
        for (const UploadProblem &p : list)
            out << QStringLiteral("%1 %2 %3").arg(p.line).arg(p.step).arg(p.axis);
        return out;
    };
    const QList<UploadProblem> found = upload.problems();
    QStringList expected;
    for (const QString &p : problems)
        expected << p.section(u':', 0, 0);
    QCOMPARE(where(found), expected);
    for (qsizetype i = 0; i < found.size(); ++i)
        QVERIFY2(found[i].reason.contains(problems[i].section(QStringLiteral(": "), 1)),
                 qPrintable(found[i].reason));

    // Read for three axes, then asked for the document's: the same.
    upload.initUpload(mdlUpLoad::kMaxAxes);
    for (const QByteArray &line : lines)
        upload.bTakeUploadLine(line);
    QCOMPARE(where(upload.problems(axes)), expected);

    // A new upload starts without problems.
    upload.initUpload(axes);
    QVERIFY(upload.problems().isEmpty());
}

QTEST_GUILESS_MAIN(TestUpload)
#include "tst_upload.moc"
