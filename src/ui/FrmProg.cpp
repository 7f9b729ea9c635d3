#include "FrmProg.h"

#include "CommandDrag.h"
#include "CommandIcons.h"
#include "ProgGrid.h"
#include "RowsCommand.h"
#include "config/Messages.h"
#include "config/clsIniFile.h"
#include "link/AppContext.h"
#include "link/Channel.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMdiArea>
#include <QScrollBar>
#include <QUndoStack>

#include <algorithm>

FrmProg::FrmProg(AppContext &ctx, const CommandIcons &icons, ProgHost &host, QWidget *parent)
    : QMdiSubWindow(parent), m_ctx(ctx), m_icons(icons), m_host(host)
{
    setObjectName(QStringLiteral("FrmProg"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_doc = new ProgramDocument(ctx.catalogue, ctx.run.langIni, ctx.messages, ctx.run.maxStep, this);
    m_grid = new ProgGrid(icons, this);
    m_grid->setModel(m_doc);
    m_grid->setAccessibleName(QStringLiteral("grdProg"));
    setWidget(m_grid);

    m_undo = new QUndoStack(this);
    // The "*" says whether the document differs from its saved state, so
    // undoing back to that state takes it away again.
    connect(m_undo, &QUndoStack::cleanChanged, this, [this](bool clean) { m_doc->setDirty(!clean); });
    connect(m_undo, &QUndoStack::canUndoChanged, this, [this] { m_host.setMenuEnabled(); });
    connect(m_undo, &QUndoStack::canRedoChanged, this, [this] { m_host.setMenuEnabled(); });

    connect(m_doc, &ProgramDocument::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_doc, &ProgramDocument::stepCountChanged, this, [this] { m_host.setMenuEnabled(); });
    connect(m_grid, &ProgGrid::selectionTouched, this, [this] { selectAxisCells(); });
    connect(m_grid, &ProgGrid::axisMoveRequested, this, &FrmProg::moveAxis);
    connect(m_grid, &ProgGrid::tabMoveRequested, this, &FrmProg::tabMove);
    // The area does not deactivate a child's widgets: the grid is told.
    connect(this, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates, Qt::WindowStates now) { m_grid->setDocumentActive(now & Qt::WindowActive); });
    connect(m_grid, &ProgGrid::editRequested, this, &FrmProg::editAt);
    connect(m_grid, &ProgGrid::stepNumberClicked, this, &FrmProg::clickStepNumber);
    connect(m_grid, &ProgGrid::dropped, this, [this](const QMimeData *mime, int row, int column) {
        dropCommand(CommandDrag::commandOf(mime, m_ctx.catalogue), row, column);
    });
}

FrmProg::~FrmProg()
{
    // The history is deleted after the document; what it signals on the
    // way out must reach neither the document nor the menus.
    m_undo->blockSignals(true);
}

void FrmProg::setDocNo(int number) { m_doc->setDocNo(number); }

void FrmProg::setAxis(int axes)
{
    m_doc->setAxis(axes);
}

void FrmProg::setStep(int steps) { m_doc->setStep(steps); }
int FrmProg::getStep() const { return m_doc->getStep(); }
int FrmProg::getAxis() const { return m_doc->getAxis(); }

int FrmProg::getSelectedAxis() const
{
    const QModelIndex cur = m_grid->currentIndex();
    return qBound(1, ProgramDocument::axisOfColumn(cur.isValid() ? cur.column() : 1), getAxis());
}

int FrmProg::currentRow() const
{
    const QModelIndex cur = m_grid->currentIndex();
    return cur.isValid() ? qMax(1, cur.row()) : 1;
}

void FrmProg::setFileName(const QString &sName) { m_doc->setFileName(sName); }
QString FrmProg::getFileName(bool fullPath) const { return m_doc->getFileName(fullPath); }
void FrmProg::setDirty(bool dirty)
{
    // Saved: this is the state undo comes back to. Marked dirty otherwise:
    // no state in the history is the saved one.
    if (dirty)
        m_undo->resetClean();
    else
        m_undo->setClean();
    m_doc->setDirty(dirty);
}

bool FrmProg::getDirty() const { return m_doc->getDirty(); }

void FrmProg::markUploaded(int channel)
{
    m_uploadChannel = channel;
    // Before the window is shown, loading would name it anew and mark it
    // saved: it applies the mark itself once it has done so.
    if (m_loaded)
        applyUploaded();
}

void FrmProg::applyUploaded()
{
    // Named, not given a path: File > Save asks where to save it.
    const QString number = Channel::text(m_uploadChannel);
    const QString word = m_ctx.run.langIni.GetINIStr(QStringLiteral("FrmProg"), QStringLiteral("Mes007"));
    setFileName(word.contains(QLatin1String("%1")) ? word.arg(number)
                : word.isEmpty()                   ? number
                                                   : word + u' ' + number);
    setDirty(true);
}

QStringList FrmProg::getProgCell(int axis, int row) const { return m_doc->getProgCell(axis, row); }
QString FrmProg::getSendStep(int row) const { return m_doc->getSendStep(row); }

bool FrmProg::bPutProgCell(int axis, int row, int command, const QStringList &data)
{
    const bool ok = m_doc->bPutProgCell(axis, row, command, data);
    if (!ok)
        return false;
    const QModelIndex written = m_doc->index(row, ProgramDocument::textColumn(axis));
    if (m_bulk > 0) {
        m_pendingCurrent = written; // moved once, when the bulk change ends
    } else if (!m_normalising) {
        setCurrentQuietly(written);
    }
    return true;
}

void FrmProg::putAndFill(int axis, int row, int command, const QStringList &data)
{
    record([&] { return m_doc->putAndFill(axis, row, command, data, m_host.dataEntry()); });
    selectCell(row, ProgramDocument::textColumn(axis));
}

void FrmProg::insertStep()
{
    const QModelIndex cur = m_grid->currentIndex();
    const int row = currentRow();
    record([&] { return m_doc->insertStep(row); });
    selectCell(currentRow(), cur.isValid() ? cur.column() : 1);
}

void FrmProg::deleteStep()
{
    const QModelIndex cur = m_grid->currentIndex();
    const int row = currentRow();
    record([&] { return m_doc->deleteStep(row); });
    selectCell(currentRow(), cur.isValid() ? cur.column() : 1);
}

void FrmProg::setGridTact(bool visible)
{
    // The document signals a bulk change once, when it is over, so the grid
    // never shows a half-done state.
    if (visible) {
        if (m_bulk == 0)
            return;
        m_doc->endBulk();
        if (--m_bulk == 0 && m_pendingCurrent.isValid()) {
            setCurrentQuietly(m_pendingCurrent);
            m_pendingCurrent = QPersistentModelIndex();
        }
    } else {
        ++m_bulk;
        m_doc->beginBulk();
    }
}

void FrmProg::picturePut(int command)
{
    const QModelIndex cur = m_grid->currentIndex();
    if (cur.isValid())
        m_doc->picturePut(ProgramDocument::axisOfColumn(cur.column()), cur.row(), command);
}

int FrmProg::selectCell(int row, int column)
{
    setCurrentQuietly(m_doc->index(qBound(1, row, m_doc->maxStep()), qMax(0, column)));
    return selectAxisCells();
}

void FrmProg::setCurrentQuietly(const QModelIndex &index)
{
    m_normalising = true;
    m_grid->setCurrentIndex(index);
    m_normalising = false;
}

int FrmProg::selectAxisCells()
{
    if (m_normalising)
        return getSelectedAxis();
    // The user picked a cell (or the window did): no whole steps are
    // selected any more.
    m_stepRows.clear();
    const QModelIndex cur = m_grid->currentIndex();
    const int row = cur.isValid() ? qMax(1, cur.row()) : 1;
    const int c = cur.isValid() ? cur.column() : 1;
    const int axis = qBound(1, ProgramDocument::axisOfColumn(c), getAxis());
    const int col = ProgramDocument::iconColumn(axis);

    QItemSelectionModel *sel = m_grid->selectionModel();
    const QItemSelection wanted(m_doc->index(row, col), m_doc->index(row, col + 1));
    if (cur.row() == row && cur.column() == col && sel->selection() == wanted)
        return axis;
    m_normalising = true;
    sel->setCurrentIndex(m_doc->index(row, col), QItemSelectionModel::NoUpdate);
    sel->select(wanted, QItemSelectionModel::ClearAndSelect);
    m_normalising = false;
    return axis;
}

bool FrmProg::record(const std::function<bool()> &change)
{
    std::optional<ProgramDocument::RowsChange> done = m_doc->recordChange(change);
    if (!done)
        return false;
    m_undo->push(new RowsCommand(*m_doc, std::move(*done)));
    return true;
}

void FrmProg::undo()
{
    if (!m_undo->canUndo())
        return;
    const auto *command = static_cast<const RowsCommand *>(m_undo->command(m_undo->index() - 1));
    const int row = command->firstRow();
    m_undo->undo();
    showRow(row);
}

void FrmProg::redo()
{
    if (!m_undo->canRedo())
        return;
    const auto *command = static_cast<const RowsCommand *>(m_undo->command(m_undo->index()));
    const int row = command->firstRow();
    m_undo->redo();
    showRow(row);
}

void FrmProg::showRow(int row)
{
    if (row < 1)
        return;
    selectCell(row, ProgramDocument::iconColumn(getSelectedAxis()));
    m_grid->scrollTo(m_grid->currentIndex());
}

void FrmProg::clickStepNumber(int row, Qt::KeyboardModifiers modifiers)
{
    if (row < 1 || row > m_doc->maxStep())
        return;
    QList<int> rows;
    if (modifiers & Qt::ShiftModifier) {
        const int from = m_stepRows.isEmpty() ? currentRow() : m_anchorRow;
        for (int r = qMin(from, row); r <= qMax(from, row); ++r)
            rows << r;
        m_anchorRow = from;
    } else if ((modifiers & Qt::ControlModifier) && !m_stepRows.isEmpty()) {
        rows = m_stepRows;
        if (!rows.removeOne(row))
            rows << row;
        m_anchorRow = row;
    } else {
        rows << row;
        m_anchorRow = row;
    }
    if (rows.isEmpty()) {
        selectCell(row, ProgramDocument::iconColumn(getSelectedAxis()));
        return;
    }
    m_grid->setFocus();
    selectSteps(rows);
    // The clicked step is the current row: Insert and Delete step act on it.
    // A plain click makes its first axis the current cell, as a click on the
    // step number column always did.
    const int axis = modifiers == Qt::NoModifier ? 1 : getSelectedAxis();
    m_normalising = true;
    m_grid->selectionModel()->setCurrentIndex(m_doc->index(row, ProgramDocument::iconColumn(axis)),
                                              QItemSelectionModel::NoUpdate);
    m_normalising = false;
}

void FrmProg::selectSteps(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([this](int r) { return r < 1 || r > m_doc->maxStep(); });
    if (rows.isEmpty())
        return;
    // Runs of neighbouring steps become one range each.
    QItemSelection wanted;
    const int lastColumn = m_doc->columnCount() - 1;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows.at(j + 1) == rows.at(j) + 1)
            ++j;
        wanted.select(m_doc->index(rows.at(i), 1), m_doc->index(rows.at(j), lastColumn));
        i = j + 1;
    }
    QItemSelectionModel *sel = m_grid->selectionModel();
    m_normalising = true;
    const QModelIndex cur = m_grid->currentIndex();
    if (!cur.isValid() || !rows.contains(cur.row()))
        sel->setCurrentIndex(m_doc->index(rows.first(), ProgramDocument::iconColumn(getSelectedAxis())),
                             QItemSelectionModel::NoUpdate);
    sel->select(wanted, QItemSelectionModel::ClearAndSelect);
    m_normalising = false;
    m_stepRows = rows;
}

void FrmProg::copy()
{
    const QString text = m_stepRows.isEmpty() ? m_doc->cellProgramText(getSelectedAxis(), currentRow())
                                               : m_doc->stepsText(m_stepRows);
    if (!text.isEmpty()) // nothing of the program is selected
        QGuiApplication::clipboard()->setText(text);
}

void FrmProg::cut()
{
    if (m_stepRows.isEmpty()) {
        // A cell is cut to the no-operation, so the step keeps its place.
        const int axis = getSelectedAxis();
        const int row = currentRow();
        const QString text = m_doc->cellProgramText(axis, row);
        if (text.isEmpty())
            return;
        const ProgCell noOp{Catalogue::U00, {}};
        if (record([&] { return m_doc->placeAndFill(axis, row, noOp); }))
            QGuiApplication::clipboard()->setText(text);
        selectCell(row, ProgramDocument::textColumn(axis));
        return;
    }
    const QList<int> rows = m_stepRows;
    const QString text = m_doc->stepsText(rows);
    if (record([&] { return m_doc->deleteSteps(rows); }))
        QGuiApplication::clipboard()->setText(text);
    selectCell(rows.first(), ProgramDocument::iconColumn(getSelectedAxis()));
}

void FrmProg::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (m_stepRows.isEmpty() && ProgramDocument::isSingleCell(text)) {
        const int axis = getSelectedAxis();
        const int row = currentRow();
        if (record([&] { return m_doc->pasteCell(axis, row, text); }))
            selectCell(row, ProgramDocument::textColumn(axis));
        return;
    }
    const int before = getStep();
    const int at = qMin(m_stepRows.isEmpty() ? currentRow() : m_stepRows.first(), before + 1);
    if (!record([&] { return m_doc->pasteSteps(at, text); }))
        return;
    // The pasted steps stay selected, ready to be moved on.
    QList<int> pasted;
    for (int r = at; r < at + getStep() - before; ++r)
        pasted << r;
    selectSteps(pasted);
    m_grid->scrollTo(m_doc->index(at, ProgramDocument::iconColumn(getSelectedAxis())));
}

void FrmProg::moveAxis(int delta)
{
    const int axis = getSelectedAxis() + delta;
    if (axis < 1 || axis > getAxis())
        return;
    selectCell(currentRow(), ProgramDocument::iconColumn(axis));
    m_grid->scrollTo(m_grid->currentIndex());
}

void FrmProg::tabMove(int delta)
{
    int row = currentRow();
    int axis = getSelectedAxis() + delta;
    if (axis > getAxis()) {
        if (row >= m_doc->maxStep())
            return;
        ++row;
        axis = 1;
    } else if (axis < 1) {
        if (row <= 1)
            return;
        --row;
        axis = getAxis();
    }
    selectCell(row, ProgramDocument::iconColumn(axis));
    m_grid->scrollTo(m_grid->currentIndex());
}

void FrmProg::editAt(int row, int column)
{
    const int axis = selectCell(row, column);
    const ProgCell cell = m_doc->cell(axis, row);
    if (cell.isEmpty())
        return; // nothing to edit
    record([&] { return m_doc->editCell(axis, row, cell.cmd, cell.toData(), m_host.dataEntry()); });
    selectCell(row, ProgramDocument::textColumn(axis));
}

void FrmProg::dropCommand(int cmd, int row, int column)
{
    if (cmd < 1 || cmd > Catalogue::kCommandCount)
        return; // only commands are dropped here

    if (row < 1) {
        // Dropped on the header row: only the first step is selected.
        selectCell(1, column);
        return;
    }
    activateWindow();
    if (QMdiArea *area = mdiArea())
        area->setActiveSubWindow(this);
    const int axis = selectCell(row, column);
    putAndFill(axis, row, cmd, m_ctx.catalogue.defaultCellData(cmd));
}

void FrmProg::load()
{
    m_loaded = true;
    setStep(0);
    setFileName(QStringLiteral("Program%1").arg(m_doc->docNo()));
    initGrid();
    selectAxisCells();
    if (m_uploadChannel > 0)
        applyUploaded();
}

void FrmProg::initGrid()
{
    setDirty(false);
    if (QMdiArea *area = mdiArea()) {
        const QSize client = area->viewport()->size();
        resize(int(client.width() * 0.7), int(client.height() * 0.7));
    }
    m_grid->applyGeometry(getAxis(), m_ctx.run.langNo);
    m_grid->setCornerText(m_doc->headerData(0, Qt::Horizontal).toString());
    selectCell(1, 1);
    m_grid->scrollToTop();
    m_grid->horizontalScrollBar()->setValue(0);
}

void FrmProg::showEvent(QShowEvent *event)
{
    if (!m_loaded)
        load();
    QMdiSubWindow::showEvent(event);
}

bool FrmProg::queryUnload()
{
    if (!getDirty())
        return true;
    switch (m_ctx.messages.showMessage(0, getFileName(false))) {
    case MsgAnswer::Yes:
        // Closing goes on only when the program really was saved: a save
        // that was cancelled or failed keeps the window and its changes.
        return m_host.saveProgram(this, false);
    case MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

void FrmProg::closeConfirmed()
{
    m_closeConfirmed = true;
    close();
}

void FrmProg::closeEvent(QCloseEvent *event)
{
    if (m_closeConfirmed || queryUnload()) {
        m_closeConfirmed = true;
        QMdiSubWindow::closeEvent(event);
    } else {
        event->ignore();
    }
}
