#include "program/ProgramDocument.h"
#include "support/AppFixture.h"
#include "support/ProgramLines.h"
#include "ui/FrmProg.h"
#include "ui/ProgramPrint.h"

#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>

// A program printed: pages laid out so that no step is split, and a PDF
// whose text holds every step, the page numbers and the closing lines.
class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void pages_data();
    void pages();
    void pdfHoldsEveryStep();
};

void TestPrint::pages_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<int>("space");
    QTest::addColumn<QString>("pages");
    QTest::newRow("one page") << 3 << 10 << 40 << "1-3";
    QTest::newRow("exactly full") << 8 << 10 << 40 << "1-4 5-8";
    QTest::newRow("a row that would not fit goes over") << 9 << 10 << 45 << "1-4 5-8 9-9";
    QTest::newRow("a page lower than a row still takes one") << 2 << 50 << 40 << "1-1 2-2";
    QTest::newRow("no steps: one page") << 0 << 10 << 40 << "1-0";
}

void TestPrint::pages()
{
    QFETCH(int, rows);
    QFETCH(int, rowHeight);
    QFETCH(int, space);
    QFETCH(QString, pages);
    QStringList got;
    for (const auto &[first, last] : ProgramPrint::pagesOf(rows, rowHeight, space, space))
        got << QStringLiteral("%1-%2").arg(first).arg(last);
    QCOMPARE(got.join(u' '), pages);
}

void TestPrint::pdfHoldsEveryStep()
{
    AppFixture f(2, QStringLiteral("1")); // in English
    FrmProg *form = f.main->makeNewForm(2);
    QStringList lines{"D:100:5000:200,D:100:5000:200"};
    for (int i = 1; i < 120; ++i)
        lines << QStringLiteral("AGO:%1,R:%2").arg(1000 + i).arg(-i);
    lines << QStringLiteral("U99:,U00:");
    form->document()->putSteps(programSteps(f.app.context().catalogue, 2, lines));

    // Through File > Export PDF..., the file dialog answered.
    const QString path = f.dir.filePath(QStringLiteral("listing.pdf"));
    f.fileDialogs->answers << path;
    f.item("mnuFileExportPdf")->trigger();
    QVERIFY(QFileInfo(path).size() > 0);

    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QVERIFY2(pdftotext.waitForFinished(20000) && pdftotext.exitCode() == 0,
             "pdftotext (Debian package poppler-utils) is needed");
    const QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
    QVERIFY(pages.size() >= 3);
    for (int p = 0; p < pages.size(); ++p)
        QVERIFY2(pages.at(p).contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages.size())),
                 qPrintable(pages.at(p).left(200)));
    // Every step, its number and its parameters on one page.
    for (int i = 1; i < 120; ++i) {
        const QString label = ProgramDocument::stepLabel(i + 1);
        const QRegularExpression step(QStringLiteral("(^|\\n)\\s*") + label + QStringLiteral("\\s"));
        const auto page = std::find_if(pages.begin(), pages.end(), [&](const QString &t) { return t.contains(step); });
        QVERIFY2(page != pages.end(), qPrintable(label));
        QVERIFY2(page->contains(QString::number(1000 + i)) && page->contains(QString::number(-i)), qPrintable(label));
    }
    QVERIFY(pages.last().contains(QStringLiteral("Estimated cycle time:")));
    QVERIFY(pages.last().contains(QStringLiteral("No problems found.")));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
