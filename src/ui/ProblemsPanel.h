#pragma once

#include <QDockWidget>
#include <QPointer>
#include <QTimer>

class Catalogue;
class ProgramDocument;
class QLabel;
class QMainWindow;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class clsIniFile;

// The Problems panel: what the active program's steps alone tell about it
// (ProgramProblems), one line per problem with its severity, step, axis and
// text, kept up to date a moment after each change of the program. The
// cells concerned are marked in the grid (the mark's text as their
// tooltip); a double click on a line selects its cell.
class ProblemsPanel : public QDockWidget
{
    Q_OBJECT

public:
    ProblemsPanel(const Catalogue &catalogue, const clsIniFile &langIni, QWidget *parent);
    // A panel docked at the bottom of `window`, shown or hidden by an item
    // of `viewMenu`.
    static ProblemsPanel *dock(const Catalogue &catalogue, const clsIniFile &langIni, QMainWindow *window,
                               QMenu *viewMenu);

    // The title and headings in the run's language (bound after start-up).
    void applyTexts();
    // The program the panel follows (null: none, the panel is empty).
    void follow(ProgramDocument *document, int axes);
    QTreeWidget *list() const { return m_list; }
    // Checks the program now rather than after the pause.
    void checkNow();

signals:
    // The grid cell of a problem: its row (1-based) and column.
    void cellChosen(int row, int column);

private:
    QString text(const char *key) const;
    void choose(QTreeWidgetItem *item);

    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    QTreeWidget *m_list = nullptr;
    QLabel *m_summary = nullptr;
    QPointer<ProgramDocument> m_document;
    int m_axes = 1;
    QTimer m_pause; // changes come in bursts (a paste, an undo): one check after them
    QList<QMetaObject::Connection> m_watch;
};
