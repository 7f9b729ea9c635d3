#include "ProgGrid.h"

#include "CommandDrag.h"
#include "CommandIcons.h"
#include "Twips.h"
#include "program/ProgramDocument.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

namespace {

// Draws a cell's command icon in the icon columns and a thin bar in the
// separator columns; text cells are drawn as usual (two lines).
class CellDelegate : public QStyledItemDelegate
{
public:
    CellDelegate(const CommandIcons &icons, QObject *parent)
        : QStyledItemDelegate(parent), m_icons(icons) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const int col = index.column();
        if (col % 3 == 0 && col > 0) {
            painter->fillRect(option.rect, option.palette.color(QPalette::Mid));
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        // A cell with a problem (the Problems panel lists it).
        if (!index.data(ProgramDocument::MarkRole).toString().isEmpty())
            opt.backgroundBrush = QColor(255, 226, 160);
        const QString text = index.data(Qt::DisplayRole).toString();
        opt.text.clear();
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        if (col % 3 == 1) {
            m_icons.paint(painter, option.rect, index.data(ProgramDocument::CommandRole).toInt());
            return;
        }
        // The command name on the first line, its parameters on the second,
        // each cut to the column's width.
        const QStringList lines = text.split(u'\n');
        const QFontMetrics fm(opt.font);
        const QRect area = option.rect.adjusted(4, 0, -4, 0);
        const int height = fm.lineSpacing() * int(lines.size());
        int y = area.top() + (area.height() - height) / 2;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                              : QPalette::Text));
        painter->setClipRect(option.rect);
        for (const QString &line : lines) {
            const QRect lineRect(area.left(), y, area.width(), fm.lineSpacing());
            painter->drawText(lineRect, Qt::AlignLeft | Qt::AlignVCenter,
                              fm.elidedText(line, Qt::ElideRight, area.width()));
            y += fm.lineSpacing();
        }
        painter->restore();
    }

private:
    const CommandIcons &m_icons;
};

// Only a command (or a command's name as text) may be dropped on the grid.
bool acceptText(QDropEvent *event)
{
    if (!CommandDrag::canDrop(event->mimeData())) {
        event->ignore();
        return false;
    }
    event->acceptProposedAction();
    return true;
}

} // namespace

ProgGrid::ProgGrid(const CommandIcons &icons, QWidget *parent)
    : QTableView(parent), m_icons(icons)
{
    setObjectName(QStringLiteral("grdProg"));
    setItemDelegate(new CellDelegate(icons, this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The user picks one cell; the window widens the selection to the
    // cell's axis (icon and text column).
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    // Tab moves across the cells (see keyPressEvent), not out of the grid.
    setTabKeyNavigation(true);
    setMouseTracking(true); // tooltips follow the mouse

    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->setSectionsClickable(false);
        header->setHighlightSections(false);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setDefaultAlignment(Qt::AlignCenter);
        header->viewport()->setAcceptDrops(true);
        header->viewport()->installEventFilter(this);
    }
    if (auto *corner = findChild<QAbstractButton *>())
        corner->installEventFilter(this);
    setCornerButtonEnabled(false);

    // The selection of a document that is not the active one is drawn in a
    // muted grey, so the active document stands out.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Window).darker(125));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::Text));
    setPalette(pal);
}

void ProgGrid::setDocumentActive(bool active)
{
    if (m_documentActive == active)
        return;
    m_documentActive = active;
    viewport()->update();
}

void ProgGrid::initViewItemOption(QStyleOptionViewItem *option) const
{
    QTableView::initViewItemOption(option);
    // Cells follow the document's activation, not the top-level window's:
    // the active document keeps its highlight while the command table has
    // the focus, and the others are drawn inactive inside an active main
    // window.
    if (m_documentActive) {
        option->state |= QStyle::State_Active;
        option->palette.setCurrentColorGroup(isEnabled() ? QPalette::Active : QPalette::Disabled);
    } else {
        option->state &= ~QStyle::State_Active;
        if (isEnabled())
            option->palette.setCurrentColorGroup(QPalette::Inactive);
    }
}

void ProgGrid::applyGeometry(int axisCount, int langNo)
{
    const int iconSide = m_icons.size().width();
    const int iconWidth = iconSide + Twips::toPixelsX(20, this);
    const int textWidth = Twips::toPixelsX(langNo == 1 ? 3200 : 1900, this);
    const int separator = qMax(1, Twips::toPixelsX(30, this));
    const int rowHeight = m_icons.size().height() + Twips::toPixelsY(20, this);

    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    // Row 0 and column 0 are the headers.
    setRowHidden(0, true);
    setColumnHidden(0, true);
    for (int axis = 1; axis <= axisCount; ++axis) {
        horizontalHeader()->resizeSection(ProgramDocument::iconColumn(axis), iconWidth);
        horizontalHeader()->resizeSection(ProgramDocument::textColumn(axis), textWidth);
        if (axis < axisCount)
            horizontalHeader()->resizeSection(3 * axis, separator);
    }
    verticalHeader()->setDefaultSectionSize(rowHeight);
    // Two header lines.
    const int headerLines = 2 * fontMetrics().lineSpacing() + 8;
    horizontalHeader()->setFixedHeight(headerLines);
}

void ProgGrid::setCornerText(const QString &text)
{
    m_cornerText = text;
    // Wide enough for the heading as well as the step numbers.
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(text) + 12);
    if (auto *corner = findChild<QAbstractButton *>())
        corner->update();
}

void ProgGrid::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Right:
        emit axisMoveRequested(+1);
        return;
    case Qt::Key_Left:
        emit axisMoveRequested(-1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (currentIndex().isValid())
            emit editRequested(currentIndex().row(), currentIndex().column());
        return;
    case Qt::Key_Tab:
        emit tabMoveRequested(event->modifiers() & Qt::ShiftModifier ? -1 : +1);
        return;
    case Qt::Key_Backtab:
        emit tabMoveRequested(-1);
        return;
    default:
        QTableView::keyPressEvent(event);
    }
}

void ProgGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() >= 1 && index.column() >= 1)
        emit editRequested(index.row(), index.column());
}

void ProgGrid::dragEnterEvent(QDragEnterEvent *event)
{
    acceptText(event);
}

void ProgGrid::dragMoveEvent(QDragMoveEvent *event)
{
    acceptText(event);
}

void ProgGrid::dropEvent(QDropEvent *event)
{
    if (!acceptText(event))
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        emit dropped(event->mimeData(), index.row(), index.column());
}

bool ProgGrid::eventFilter(QObject *watched, QEvent *event)
{
    const bool onHorizontal = watched == horizontalHeader()->viewport();
    const bool onVertical = watched == verticalHeader()->viewport();
    if (onHorizontal || onVertical) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            acceptText(static_cast<QDragMoveEvent *>(event));
            return true;
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            if (!acceptText(drop))
                return true;
            const QPoint pos = drop->position().toPoint();
            if (onHorizontal) {
                const int col = horizontalHeader()->logicalIndexAt(pos.x());
                emit dropped(drop->mimeData(), 0, qMax(col, 1));
            } else {
                const int row = verticalHeader()->logicalIndexAt(pos.y());
                if (row >= 1)
                    emit dropped(drop->mimeData(), row, 0);
            }
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            // The step numbers select whole steps; the window decides which.
            auto *press = static_cast<QMouseEvent *>(event);
            if (!onVertical || press->button() != Qt::LeftButton)
                break;
            const int row = verticalHeader()->logicalIndexAt(press->position().toPoint().y());
            if (row >= 1)
                emit stepNumberClicked(row, press->modifiers());
            return true;
        }
        default:
            break;
        }
    } else if (event->type() == QEvent::Paint && qobject_cast<QAbstractButton *>(watched)) {
        // The corner above the step numbers carries their heading.
        auto *corner = static_cast<QAbstractButton *>(watched);
        QPainter painter(corner);
        QStyleOptionHeader opt;
        opt.initFrom(corner);
        opt.state |= QStyle::State_Enabled; // a heading, not a dimmed button
        opt.palette.setCurrentColorGroup(QPalette::Active);
        opt.rect = corner->rect();
        opt.text = m_cornerText;
        opt.textAlignment = Qt::AlignCenter;
        opt.position = QStyleOptionHeader::OnlyOneSection;
        opt.orientation = Qt::Horizontal;
        corner->style()->drawControl(QStyle::CE_Header, &opt, &painter, corner);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void ProgGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    emit selectionTouched();
}

void ProgGrid::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QTableView::selectionChanged(selected, deselected);
    emit selectionTouched();
}
