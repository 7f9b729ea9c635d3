#pragma once

#include "ProgHost.h"

#include <QMdiSubWindow>
#include <QPersistentModelIndex>
#include <QStringList>

#include <functional>

class CommandIcons;
class ProgGrid;
class ProgramDocument;
class QUndoStack;
struct AppContext;

// A document window: one program shown in its grid. The document itself is
// the model behind the grid; the operations here add what the grid knows,
// the current cell and the selection, which always covers the icon and text
// column of one axis.
class FrmProg : public QMdiSubWindow
{
    Q_OBJECT

public:
    // A window of the run `ctx`, held by `host`, drawing the command icons.
    FrmProg(AppContext &ctx, const CommandIcons &icons, ProgHost &host, QWidget *parent = nullptr);
    ~FrmProg() override;

    ProgramDocument *document() const { return m_doc; }
    ProgGrid *grid() const { return m_grid; }

    void setDocNo(int number);
    void setAxis(int axes);
    void setStep(int steps);
    int getStep() const;
    int getAxis() const;
    // The axis of the grid's current column.
    int getSelectedAxis() const;
    // The grid's current row (1..maxStep).
    int currentRow() const;

    void setFileName(const QString &sName);
    QString getFileName(bool fullPath) const;
    void setDirty(bool dirty);
    bool getDirty() const;

    // Marks the window as holding the program just uploaded from channel
    // `channel` (1..15): it is named after the channel ("Channel 02") and
    // unsaved, so closing it asks and File > Save asks for a file name.
    // Called once the steps are in; before or after the window is shown.
    void markUploaded(int channel);

    // Whether the user has been warned that this document holds cells File
    // > Open refuses; the warning comes once per window.
    bool refusalWarned() const { return m_refusalWarned; }
    void setRefusalWarned() { m_refusalWarned = true; }

    QStringList getProgCell(int axis, int row) const;
    // Writes a cell and leaves the current cell at its text column.
    bool bPutProgCell(int axis, int row, int command, const QStringList &data);
    // Places a command through the data entry dialog, filling any gap.
    void putAndFill(int axis, int row, int command, const QStringList &data);
    // Insert or delete the step at the current row.
    void insertStep();
    void deleteStep();
    QString getSendStep(int row) const;
    // Wraps bulk changes: false before, true after.
    void setGridTact(bool visible);
    // Puts a command's icon into the current cell (0 removes it).
    void picturePut(int command);

    // Makes a cell current and normalises the selection; returns the axis.
    int selectCell(int row, int column);

    // The document's undo history. Every edit made through the window
    // (placing, editing, insert, delete, paste, cut) is one undo step; the
    // dirty mark follows the history's saved state.
    QUndoStack *undoStack() const { return m_undo; }
    void undo();
    void redo();

    // Whole steps selected by their step numbers, in order; empty while a
    // cell is selected.
    QList<int> selectedSteps() const { return m_stepRows; }
    // A click on a step number: selects that step; with Shift the steps
    // from the last one clicked, with Ctrl one more (or one less).
    void clickStepNumber(int row, Qt::KeyboardModifiers modifiers);
    // Selects whole steps (rows 1..maxStep).
    void selectSteps(QList<int> rows);

    // The clipboard: the selected steps, or the selected cell, as program
    // text. Paste inserts steps before the selected step, or places a
    // single cell onto the selected cell.
    void copy();
    void cut();
    void paste();

    // The closing check: asks about unsaved changes. True when the window
    // may close (answered No, or Yes and the document was saved).
    bool queryUnload();
    // Closes the window after its closing check has already been passed.
    void closeConfirmed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    void initGrid();
    // Names the window after its upload channel and marks it unsaved.
    void applyUploaded();
    int selectAxisCells();
    // Moves the current cell without the selection being normalised on the way.
    void setCurrentQuietly(const QModelIndex &index);
    void moveAxis(int delta);
    // Tab and Shift+Tab: the next or previous axis, past the last or first
    // one the next or previous step.
    void tabMove(int delta);
    void editAt(int row, int column);
    void dropCommand(int cmd, int row, int column);
    // Runs an edit of the document and makes what it changed an undo step.
    bool record(const std::function<bool()> &change);
    // Shows the first row an undo or redo changed.
    void showRow(int row);

    AppContext &m_ctx;
    const CommandIcons &m_icons;
    ProgHost &m_host;
    ProgramDocument *m_doc = nullptr;
    ProgGrid *m_grid = nullptr;
    bool m_loaded = false;
    bool m_normalising = false;
    bool m_closeConfirmed = false;
    bool m_refusalWarned = false;
    int m_uploadChannel = 0;                 // 0: not made by an upload
    int m_bulk = 0;                          // nesting of setGridTact(false)
    QUndoStack *m_undo = nullptr;
    QList<int> m_stepRows;                   // steps selected by their numbers
    int m_anchorRow = 1;                     // where Shift+click extends from
    QPersistentModelIndex m_pendingCurrent;  // current cell once the bulk change ends
};
