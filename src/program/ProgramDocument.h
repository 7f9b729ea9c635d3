#pragma once

#include "ProgCell.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class Catalogue;
class DataEntry;
class Messages;
class clsIniFile;

// One motion program: a table of steps by axes, each cell holding at most
// one controller command with its parameters.
//
// The model's rows and columns are those of the document window's grid:
// row 0 is the header row and rows 1..maxStep are the steps; column 0 holds
// the step numbers, axis a owns the icon column 3a-2 and the text column
// 3a-1, and column 3a separates it from the next axis. A view shows row 0
// and column 0 as its headers.
//
// A cell is kept as its command number and its parameters (spaces trimmed
// at both ends), so that a program never depends on the display names of
// the language file. What the grid shows is the cell text made from it: the
// command's display name, then, when the command has parameters, a carriage
// return and the parameters joined by ",". Beside it the cell's icon, a
// command number (0: none).
class ProgramDocument : public QAbstractTableModel
{
    Q_OBJECT

    // A cell as stored: its value and the icon shown beside it (picturePut
    // can set an icon alone).
    struct Cell
    {
        ProgCell value;
        int icon = 0;
        friend bool operator==(const Cell &a, const Cell &b) { return a.value == b.value && a.icon == b.icon; }
    };

public:
    enum Role {
        CellTextRole = Qt::UserRole + 1, // the cell text (text columns)
        CommandRole,                     // the command number of the cell's icon
        MarkRole,                        // the text of the cell's mark (see setMarks)
    };

    ProgramDocument(const Catalogue &catalogue, const clsIniFile &langIni, Messages &messages,
                    int maxStep, QObject *parent = nullptr);

    // Grid geometry.
    static int iconColumn(int axis) { return 3 * axis - 2; }
    static int textColumn(int axis) { return 3 * axis - 1; }
    // The axis a column belongs to: integer part of column/3, plus 1.
    static int axisOfColumn(int column) { return column / 3 + 1; }

    void setDocNo(int number) { m_docNo = number; }
    int docNo() const { return m_docNo; }
    // Sets the axis count and rebuilds the (empty) grid; called once, before
    // the document is shown.
    void setAxis(int axes);
    int getAxis() const { return m_axisCount; }
    int maxStep() const { return m_maxStep; }

    void setStep(int steps);
    int getStep() const { return m_usedSteps; }

    void setFileName(const QString &sName);
    QString getFileName(bool fullPath) const;
    void setDirty(bool dirty);
    bool getDirty() const { return m_dirty; }
    // The window caption: the short file name, with "*" while dirty.
    QString caption() const { return m_caption; }

    // The cell of an axis and row (empty outside the grid).
    ProgCell cell(int axis, int row) const;
    // The cell as cell data: element 0 the command number, then its
    // parameters; an empty cell gives one empty text.
    QStringList getProgCell(int axis, int row) const;
    // Stores a cell. Refuses (false, cell unchanged) a command outside
    // 1..17 or fewer parameters than the command needs; surplus ones are
    // dropped.
    bool putCell(int axis, int row, const ProgCell &cell);
    // The same from cell data, for `command` (element 0 is not read).
    bool bPutProgCell(int axis, int row, int command, const QStringList &data);
    // Puts a command's icon on a cell (0 removes it).
    void picturePut(int axis, int row, int command);
    void clearCell(int axis, int row);

    // Places or changes a command through the data entry dialog, applying
    // the step rules to the other axes. True when something was written.
    bool editCell(int axis, int row, int command, const QStringList &data, DataEntry &entry);
    // editCell, then fills the steps between the old end and the new step
    // with U00: so the program has no gap.
    bool putAndFill(int axis, int row, int command, const QStringList &data, DataEntry &entry);
    void fillStepsNoOp(int firstRow);

    // The cells of one row, axes 1..getAxis().
    ProgStep step(int row) const;
    // Steps 1..getStep().
    QList<ProgStep> steps() const;
    // Writes whole steps from step 1 on, as one change, and makes them the
    // program's steps. False (and stopped there) when a cell is refused.
    bool putSteps(const QList<ProgStep> &steps);

    // Inserts an empty step (U00: in every axis) at a row / deletes the step
    // at a row, telling the user when that is not possible. True on success.
    bool insertStep(int row);
    bool deleteStep(int row);

    // The transmission text of a step (row 1..): empty after the last step.
    QString getSendStep(int row) const;

    // ---- undo and the clipboard --------------------------------------

    // One change as an undo step, kept as small as the change: the rows
    // from `first` on that it replaced (`before`) and the rows it put in
    // their place (`after`), 3 cells per row; the `tail` rows that followed
    // them moved along, so inserting or deleting a step keeps one row, not
    // the rest of the program.
    struct RowsChange
    {
        int first = 1;
        int tail = 0;
        int usedBefore = 0;
        int usedAfter = 0;
        std::vector<Cell> before;
        std::vector<Cell> after;
        bool isEmpty() const { return before.empty() && after.empty(); }
    };
    // Runs `change`, an edit returning whether it was done, and returns
    // what it changed; nothing when it was refused or cancelled. A change
    // that was done but left every cell as it was still counts, so that
    // it is an undo step as it marks the document.
    std::optional<RowsChange> recordChange(const std::function<bool()> &change);
    // Puts the rows back as before the change (undo) or as after it, as
    // one change. The dirty flag is left to the caller, which knows the
    // saved state.
    void applyChange(const RowsChange &change, bool undo);
    // Rows first..last as stored, cells and icons.
    std::vector<Cell> storedRows(int first, int last) const;

    // Places a cell as editCell does after the data entry dialog (step
    // rules applied to the other axes), filling any gap as putAndFill does.
    bool placeAndFill(int axis, int row, const ProgCell &cell);

    // Steps as program text: the step lines of the file, no header. Rows
    // outside the program are left out.
    QString stepsText(const QList<int> &rows) const;
    // A cell as program text, one line; empty for an empty cell.
    QString cellProgramText(int axis, int row) const;
    // True when program text is one line holding one cell: the text that
    // pasting onto a cell takes.
    static bool isSingleCell(const QString &text);
    // Inserts the steps of program text before step `row` (after the last
    // step when row lies past it). Every line is checked as the file
    // reader checks step lines; a text with a bad line, with no step, or
    // with more steps than the program has room for is refused whole with
    // a message naming the line and the rule, and nothing changes.
    bool pasteSteps(int row, const QString &text);
    // Places the one cell of program text onto a cell as placing that
    // command with its values does. Refused as pasteSteps refuses.
    bool pasteCell(int axis, int row, const QString &text);
    // Deletes the given steps (rows outside the program are ignored) as one
    // change; message 2 and false when none lies in the program.
    bool deleteSteps(const QList<int> &rows);

    // Bulk changes: between beginBulk and endBulk nothing is signalled; the
    // end sends one change for every row touched. Calls may nest.
    void beginBulk();
    void endBulk();

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The text shown for a step row: row - 1 with at least three digits.
    static QString stepLabel(int row);

    // Cells marked with what is wrong with them (a program problem): the
    // tooltip says it, and MarkRole gives it to the view to show. `axis` 0 marks the step
    // number. Replaces the marks there were.
    struct Mark
    {
        int row = 0; // 1-based, as the grid's rows
        int axis = 0;
        QString text;
    };
    void setMarks(const QList<Mark> &marks);
    // Calls `edited` in `context` after every change of the program (its
    // cells, steps or step count; not its marks). The connections, so that
    // a view that follows another document can undo them.
    QList<QMetaObject::Connection> watchEdits(QObject *context, const std::function<void()> &edited);
    // The text of the mark on that cell; empty for none.
    QString markAt(int row, int axis) const { return m_marks.value({row, axis}); }

signals:
    void stepCountChanged(int usedSteps);
    void captionChanged(const QString &caption);

private:
    bool validCell(int axis, int row) const;
    Cell &cellAt(int axis, int row) { return m_cells[size_t(row) * 3 + size_t(axis - 1)]; }
    const Cell &cellAt(int axis, int row) const { return m_cells[size_t(row) * 3 + size_t(axis - 1)]; }
    int commandAt(int axis, int row) const;
    void putNoOp(int axis, int row); // U00:, the no-operation
    bool canPlace(int axis, int row, int command) const;
    // The step rules: data (element 0 the command) into a cell, the other
    // axes of the step changed as placing that command requires.
    void placeData(int axis, int row, int command, QStringList data);
    // Program text read into steps of `axisCount` cells, with the text
    // line of each; false after telling the user why not.
    bool readProgramText(const QString &text, int axisCount, QList<ProgStep> &steps,
                         QList<int> &lines) const;
    QString cellText(int axis, int row) const;
    void touchRows(int first, int last);
    void setCaption(const QString &caption);
    QString headerText(int column) const;

    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    Messages &m_messages;
    const int m_maxStep;
    int m_axisCount = 1;
    int m_docNo = 0;
    int m_usedSteps = 0;
    QString m_filePath;
    QString m_caption;
    bool m_dirty = false;
    std::vector<Cell> m_cells; // (maxStep + 1) rows x 3 axes; row 0 unused
    QStringList m_headers;     // FrmProg Mes001..Mes006

    int m_bulkDepth = 0;
    int m_touchedFirst = -1;
    int m_touchedLast = -1;
    QHash<std::pair<int, int>, QString> m_marks; // (row, axis)
};
