#include "FrmProg.h"

#include "CommandDrag.h"
#include "CommandIcons.h"
#include "ProgGrid.h"
#include "config/Messages.h"
#include "link/AppContext.h"
#include "program/Catalogue.h"
#include "program/ProgramDocument.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QMdiArea>
#include <QScrollBar>

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

    connect(m_doc, &ProgramDocument::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_doc, &ProgramDocument::stepCountChanged, this, [this] { m_host.setMenuEnabled(); });
    connect(m_grid, &ProgGrid::selectionTouched, this, [this] { selectAxisCells(); });
    connect(m_grid, &ProgGrid::axisMoveRequested, this, &FrmProg::moveAxis);
    connect(m_grid, &ProgGrid::editRequested, this, &FrmProg::editAt);
    connect(m_grid, &ProgGrid::dropped, this, [this](const QMimeData *mime, int row, int column) {
        dropCommand(CommandDrag::commandOf(mime, m_ctx.catalogue), row, column);
    });
}

void FrmProg::setDocNo(int iNum) { m_doc->setDocNo(iNum); }

void FrmProg::setAxis(int iNum)
{
    m_doc->setAxis(iNum);
}

void FrmProg::setStep(int iStep) { m_doc->setStep(iStep); }
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
QString FrmProg::getFileName(bool bFullPath) const { return m_doc->getFileName(bFullPath); }
void FrmProg::setDirty(bool dirty) { m_doc->setDirty(dirty); }
bool FrmProg::getDirty() const { return m_doc->getDirty(); }
QStringList FrmProg::getProgCell(int iAxis, int iStep) const { return m_doc->getProgCell(iAxis, iStep); }
QString FrmProg::getSendStep(int iStep) const { return m_doc->getSendStep(iStep); }

bool FrmProg::bPutProgCell(int iAxis, int iStep, int iCmd, const QStringList &sData)
{
    const bool ok = m_doc->bPutProgCell(iAxis, iStep, iCmd, sData);
    if (!ok)
        return false;
    const QModelIndex written = m_doc->index(iStep, ProgramDocument::textColumn(iAxis));
    if (m_bulk > 0) {
        m_pendingCurrent = written; // moved once, when the bulk change ends
    } else if (!m_normalising) {
        setCurrentQuietly(written);
    }
    return true;
}

void FrmProg::putAndFill(int iAxis, int iStep, int iCmd, const QStringList &sData)
{
    m_doc->putAndFill(iAxis, iStep, iCmd, sData, m_host.dataEntry());
    selectCell(iStep, ProgramDocument::textColumn(iAxis));
}

void FrmProg::insertStep()
{
    const QModelIndex cur = m_grid->currentIndex();
    m_doc->insertStep(currentRow());
    selectCell(currentRow(), cur.isValid() ? cur.column() : 1);
}

void FrmProg::deleteStep()
{
    const QModelIndex cur = m_grid->currentIndex();
    m_doc->deleteStep(currentRow());
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

void FrmProg::picturePut(int iCmd)
{
    const QModelIndex cur = m_grid->currentIndex();
    if (cur.isValid())
        m_doc->picturePut(ProgramDocument::axisOfColumn(cur.column()), cur.row(), iCmd);
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

void FrmProg::moveAxis(int delta)
{
    const int axis = getSelectedAxis() + delta;
    if (axis < 1 || axis > getAxis())
        return;
    selectCell(currentRow(), ProgramDocument::iconColumn(axis));
    m_grid->scrollTo(m_grid->currentIndex());
}

void FrmProg::editAt(int row, int column)
{
    const int axis = selectCell(row, column);
    const ProgCell cell = m_doc->cell(axis, row);
    if (cell.isEmpty())
        return; // nothing to edit
    m_doc->editCell(axis, row, cell.cmd, cell.toData(), m_host.dataEntry());
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
