#pragma once

#include <QMimeData>
#include <QTableView>

class CommandIcons;


// The grid of a document window. It turns the user's gestures into signals
// for the window: moves by axis, double clicks, dropped command names. Row 0
// and column 0 of the document are shown as the grid's headers.
class ProgGrid : public QTableView
{
    Q_OBJECT

public:
    ProgGrid(const CommandIcons &icons, QWidget *parent = nullptr);

    // Lays out rows and columns for a document with this many axes.
    void applyGeometry(int axisCount, int langNo);
    void setCornerText(const QString &text);
    // Whether the grid's document window is the active one. An inactive
    // document draws its selection in the muted inactive colours, however
    // the main window's activation stands.
    void setDocumentActive(bool active);

signals:
    // Right (+1) or left (-1) arrow: move the selection by one axis.
    void axisMoveRequested(int delta);
    // Tab (+1) or Shift+Tab (-1): move the selection by one axis, going on
    // to the next or previous step past the last or first axis.
    void tabMoveRequested(int delta);
    // Double click or Enter on a cell (row >= 1, column >= 1).
    void editRequested(int row, int column);
    // A command dropped on a cell; row 0 is the header row, column 0 the
    // step number column. The data is valid only during the signal.
    void dropped(const QMimeData *mime, int row, int column);
    // The current cell or the selection changed.
    void selectionTouched();
    // A step number (row >= 1) clicked, with the keys held.
    void stepNumberClicked(int row, Qt::KeyboardModifiers modifiers);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;
    void initViewItemOption(QStyleOptionViewItem *option) const override;

private:
    const CommandIcons &m_icons;
    QString m_cornerText;
    bool m_documentActive = true;
};
