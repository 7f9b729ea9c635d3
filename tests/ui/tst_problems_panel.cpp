#include "program/ProgramDocument.h"
#include "support/AppFixture.h"
#include "ui/FrmProg.h"
#include "ui/ProblemsPanel.h"
#include "ui/ProgGrid.h"

#include <QLabel>
#include <QTreeWidget>

// The Problems panel as the editor shows it: it follows the active program
// through its edits, marks the cells and selects one on a double click.
class TestProblemsPanel : public QObject
{
    Q_OBJECT

private slots:
    void followsTheActiveProgram();
};

void TestProblemsPanel::followsTheActiveProgram()
{
    AppFixture f(2, QStringLiteral("1")); // in English
    QFile file(f.dir.filePath(QStringLiteral("jumps.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("AXIS=2\r\nD:100:5000:200,D:100:5000:200\r\nU01:150,U01:150\r\nU99:,U00:\r\n");
    file.close();
    FrmProg *form = f.main->openProgramFile(file.fileName());
    QVERIFY(form);
    auto *panel = f.main->findChild<ProblemsPanel *>();
    QVERIFY(panel);
    QTreeWidget *list = panel->list();
    QTRY_COMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("jump target 150 is past the last step 002"));
    QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("this step can never run"));
    ProgramDocument *doc = form->document();
    QCOMPARE(doc->data(doc->index(2, ProgramDocument::textColumn(1)), ProgramDocument::MarkRole).toString(),
             list->topLevelItem(0)->text(2));
    QVERIFY(doc->data(doc->index(3, ProgramDocument::textColumn(2)), Qt::ToolTipRole)
                .toString()
                .startsWith(QStringLiteral("this step can never run")));

    // Activating a line selects its cell.
    emit list->itemActivated(list->topLevelItem(0), 0);
    QCOMPARE(form->grid()->currentIndex().row(), 2);

    // An edit that mends the jump: the panel follows a moment later.
    QVERIFY(doc->putCell(1, 2, ProgCell{Catalogue::U01, {QStringLiteral("2")}}));
    QTRY_COMPARE(list->topLevelItemCount(), 0);
    QVERIFY(doc->data(doc->index(2, ProgramDocument::textColumn(1)), ProgramDocument::MarkRole).toString().isEmpty());
    QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("lblSummary"))->text(), QStringLiteral("No problems found."));
}

QTEST_MAIN(TestProblemsPanel)
#include "tst_problems_panel.moc"
