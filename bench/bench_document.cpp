// Editing speed of a full three-axis document with its grid attached, and
// the editor's memory with ten such documents open.

#include "BenchSupport.h"
#include "app/MDIFormMain.h"
#include "app/VelomatApp.h"
#include "app/frmStart.h"
#include "program/Autosave.h"
#include "program/Catalogue.h"
#include "program/DataEntry.h"
#include "program/ProgramDocument.h"
#include "program/ProgramFile.h"
#include "ui/FrmProg.h"
#include "ui/ProgGrid.h"
#include "ui/ProgramFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

class AcceptingEntry : public DataEntry
{
public:
    bool dlgDataExe(int, int, int, const QStringList &data) override { m_data = data; return true; }
    QStringList getTxtBoxData() const override { return m_data; }
private:
    QStringList m_data;
};

// Fills steps 1..steps of every axis, as a file read would.
void fill(FrmProg *form, int steps)
{
    form->setGridTact(false);
    for (int row = 1; row <= steps; ++row) {
        for (int axis = 1; axis <= form->getAxis(); ++axis)
            form->bPutProgCell(axis, row, Catalogue::AGO, {QStringLiteral("1"), QString::number(row * 100)});
    }
    form->setStep(steps);
    form->setGridTact(true);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    copyLanguageFiles(dir);
    SilentPresenter presenter;
    VelomatApp velomat(presenter);
    velomat.start(dir.path(), QString());
    velomat.startDialog()->findChild<QRadioButton *>(QStringLiteral("optType2"))->setChecked(true);
    velomat.startDialog()->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    MDIFormMain *main = velomat.mainWindow();
    main->setDataEntry(std::make_unique<AcceptingEntry>());

    FrmProg *form = main->makeNewForm(3);
    fill(form, 199);
    QApplication::processEvents();

    // Insert and delete at step 1, each followed by the repaint it causes.
    constexpr int kRounds = 200;
    QList<double> insertMs, deleteMs;
    QElapsedTimer t;
    for (int i = 0; i < kRounds; ++i) {
        form->selectCell(1, 1);
        t.start();
        form->insertStep();
        form->grid()->viewport()->repaint();
        insertMs << t.nsecsElapsed() / 1e6;
        form->selectCell(1, 1);
        t.start();
        form->deleteStep();
        form->grid()->viewport()->repaint();
        deleteMs << t.nsecsElapsed() / 1e6;
    }

    // Filling a whole document cell by cell through the editing rules.
    FrmProg *blank = main->makeNewForm(3);
    t.start();
    for (int row = 1; row <= 200; ++row)
        blank->putAndFill(1, row, Catalogue::R, {QStringLiteral("7"), QString::number(row)});
    blank->grid()->viewport()->repaint();
    const double fillMs = t.nsecsElapsed() / 1e6;

    std::printf("insert at step 1 of 200x3: median %.3f ms (target < 2 ms)\n", median(insertMs));
    std::printf("delete at step 1 of 200x3: median %.3f ms (target < 2 ms)\n", median(deleteMs));
    std::printf("fill 200 steps by placing a command in each: %.1f ms\n", fillMs);

    // Undo and redo of a delete at step 1 of a full program: 200 steps move
    // back and forth, each followed by its repaint.
    {
        FrmProg *full = main->makeNewForm(3);
        fill(full, 200);
        QApplication::processEvents();
        QList<double> undoMs, redoMs;
        for (int i = 0; i < kRounds; ++i) {
            full->selectCell(1, 1);
            full->deleteStep();
            t.start();
            full->undo();
            full->grid()->viewport()->repaint();
            undoMs << t.nsecsElapsed() / 1e6;
            t.start();
            full->redo();
            full->grid()->viewport()->repaint();
            redoMs << t.nsecsElapsed() / 1e6;
            full->undo(); // full again for the next round
        }
        std::printf("undo a delete at step 1 of 200x3: median %.3f ms (target < 2 ms)\n", median(undoMs));
        std::printf("redo it: median %.3f ms (target < 2 ms)\n", median(redoMs));
        full->closeConfirmed();
    }

    // Saving and opening a full three-axis program, the document included.
    {
        FrmProg *full = main->makeNewForm(3);
        fill(full, 200);
        const QString path = dir.filePath(QStringLiteral("bench.txt"));
        full->setFileName(path);
        QList<double> saveMs, readMs, openMs;
        for (int i = 0; i < 20; ++i) {
            t.start();
            main->programFiles().saveProgram(full, false);
            saveMs << t.nsecsElapsed() / 1e6;
            // The file into a document model alone ...
            t.start();
            {
                QFile in(path);
                in.open(QIODevice::ReadOnly);
                const auto result = ProgramFile::readProgram(velomat.context().catalogue, in.readAll(), 3, 200);
                ProgramDocument doc(velomat.context().catalogue, velomat.context().run.langIni,
                                    velomat.context().messages, 200);
                doc.setAxis(3);
                doc.putSteps(result.steps);
            }
            readMs << t.nsecsElapsed() / 1e6;
            // ... and File > Open: a new window, filled and painted.
            t.start();
            FrmProg *opened = main->programFiles().openProgramFile(path, 3, 200);
            QApplication::processEvents();
            openMs << t.nsecsElapsed() / 1e6;
            opened->closeConfirmed();
            QApplication::processEvents();
        }
        std::printf("save a 200-step three-axis program: median %.2f ms (target < 5 ms)\n", median(saveMs));
        std::printf("read it into a document: median %.2f ms (target < 5 ms)\n", median(readMs));
        std::printf("open it as File > Open does, new window painted: median %.2f ms\n", median(openMs));
    }

    // Autosave of a modified full document: the window's thread composes
    // the copy, the autosave thread writes it.
    {
        FrmProg *full = main->makeNewForm(3);
        fill(full, 200);
        Autosave autosave(velomat.context().catalogue, dir.filePath(QStringLiteral("bench-recovery")),
                          std::chrono::hours(1));
        autosave.track(full->document());
        QList<double> windowMs, diskMs;
        for (int i = 0; i < 20; ++i) {
            full->bPutProgCell(1, 1, Catalogue::AGO, {QStringLiteral("1"), QString::number(i)});
            full->setDirty(true);
            t.start();
            autosave.save(full->document());
            windowMs << t.nsecsElapsed() / 1e6;
            autosave.flush();
            diskMs << t.nsecsElapsed() / 1e6;
        }
        std::printf("autosave a modified 200-step three-axis document: median %.2f ms on the window's thread "
                    "(target < 5 ms), %.2f ms until written\n",
                    median(windowMs), median(diskMs));
        full->closeConfirmed();
    }

    for (int i = 0; i < 7; ++i)
        fill(main->makeNewForm(3), 200);
    QApplication::processEvents();
    std::printf("resident memory with ten open three-axis documents: %.1f MB (target < 80 MB)\n",
                residentKiB() / 1024.0);
    std::fflush(stdout);
    std::_Exit(0); // the documents are modified: skip the closing questions
}
