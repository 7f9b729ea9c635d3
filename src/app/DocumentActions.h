#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class FileDialogs;
class FrmProg;
class MenuParts;
class PreviewWindow;
class QAction;
class QWidget;
struct AppContext;

// What the editor does with the active document beyond editing it: File >
// Print..., Print Preview... and Export PDF... (ProgramPrint lays the pages
// out), and View > Motion preview..., a window that follows the active
// document. The main window creates it where the items belong and tells it
// which document is active.
class DocumentActions : public QObject
{
    Q_OBJECT

public:
    DocumentActions(AppContext &ctx, const MenuParts &parts, QAction *fileMenu, std::function<FrmProg *()> active,
                    std::function<FileDialogs &()> dialogs, QWidget *window);

    // View > Motion preview... in the View menu.
    void addPreviewItem(const MenuParts &parts, QAction *viewMenu);
    void updateItems(bool hasDocument);
    // The document the motion preview follows (null: none).
    void follow(FrmProg *form);
    // Opens (or raises) the motion preview of the active document.
    void showPreview();

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
    QPointer<PreviewWindow> m_preview;
};
