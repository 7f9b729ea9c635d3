#pragma once

#include <QObject>

#include <functional>

class FileDialogs;
class FrmProg;
class MenuParts;
class QAction;
class QWidget;
struct AppContext;

// What the editor does with the active document beyond editing it: File >
// Print..., Print Preview... and Export PDF... (ProgramPrint lays the pages
// out). The main window creates it where the items belong in the File menu
// and tells it whether a document is active.
class DocumentActions : public QObject
{
    Q_OBJECT

public:
    DocumentActions(AppContext &ctx, const MenuParts &parts, QAction *fileMenu, std::function<FrmProg *()> active,
                    std::function<FileDialogs &()> dialogs, QWidget *window);

    void updateItems(bool hasDocument);

    void print();
    void printPreview();
    // Asks where, then writes the PDF; false when cancelled or it failed
    // (after saying why).
    bool exportPdf();

private:
    AppContext &m_ctx;
    std::function<FrmProg *()> m_active;
    std::function<FileDialogs &()> m_dialogs;
    QWidget *m_window;
    QList<QAction *> m_items;
};
