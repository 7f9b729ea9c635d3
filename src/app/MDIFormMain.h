#pragma once

#include "link/LinkViews.h"
#include "ui/CmdHost.h"
#include "ui/ProgHost.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class Autosave;
class CommandIcons;
class DataEntry;
class FileDialogs;
class ProblemsPanel;
class ProgramFiles;
class FrmCmd;
class CommunicationMenu;
class DocumentActions;
class FrmProg;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class RecentMenu;
class clsWindow;
struct AppContext;

// The main window: a frame for the program documents, with the menu bar
// through which every operation is reached. The menus are enabled only when
// their operation makes sense for the active document.
class MDIFormMain : public QMainWindow, public ProgHost, public CmdHost, public StepSource
{
    Q_OBJECT

public:
    explicit MDIFormMain(AppContext &ctx, QWidget *parent = nullptr);
    ~MDIFormMain() override;

    // Finishes start-up after the controller type is confirmed and shows the
    // window with no document open.
    void ShowMainDialog();

    // Opens a new, empty document window for that many axes.
    FrmProg *makeNewForm(int axes);
    // True when a document window is active.
    bool getLiveForm() const;
    // The active document window, or null.
    FrmProg *activeForm() const override;
    void setMenuEnabled() override;
    // Called when a document window is gone.
    void setCloseMenu();
    // Shows (true) or closes (false) the command table window.
    void setMenuDispCmd(bool on) override;
    // The command table window while it exists, else null.
    FrmCmd *commandTable() const { return m_frmCmd; }

    bool saveProgram(FrmProg *form, bool saveAs) override;
    DataEntry &dataEntry() override { return *m_dataEntry; }
    // Replaces the data entry dialog (tests script it).
    void setDataEntry(std::unique_ptr<DataEntry> entry);
    FileDialogs &fileDialogs() { return *m_fileDialogs; }
    // Replaces the file dialogs (tests script them).
    void setFileDialogs(std::unique_ptr<FileDialogs> dialogs);
    // File > Open: a program file into a new document window.
    FrmProg *openProgram();
    // Reads the program file at `path` into a new document window, as
    // File > Open does after its dialog, and puts it on the recent list.
    FrmProg *openProgramFile(const QString &path);
    ProgramFiles &programFiles() { return *m_programFiles; }

    // Number the next new document window receives; never reused in a run.
    int nextDocNo() const;

    QMdiArea *mdiArea() const { return m_mdiArea; }
    const CommandIcons &commandIcons() const { return *m_icons; }
    // A menu item (action) or menu by its name, e.g. "mnuFileSave", "mnuEdit",
    // as a test or an accessibility client finds it; null for no such item.
    QAction *item(const QString &name) const;

    // The active document as the download sends it.
    int getStep() const override;
    QString getSendStep(int step) const override;

    // Applies the enabling rules of every menu item to the present state:
    // the active document, its step count and the serial port.
    void updateMenus();

signals:
    // The window has been closed: the run ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    // Runs `work` on the active document when the item is chosen.
    void onActiveForm(QAction *action, std::function<void(FrmProg &)> work);
    void initMainWindow();
    // The Problems panel on the active document.
    void followActiveProgram();
    // F6: the focus from the active grid to the command table and back.
    void switchFocus();

    // Menu commands.
    void editParameters();

    AppContext &m_ctx;
    QMdiArea *m_mdiArea = nullptr;

    // The menus (their menu actions) and items, in menu order.
    QAction *m_mnuFile = nullptr;
    RecentMenu *m_recent = nullptr; // File > Open Recent
    QAction *m_mnuFileClose = nullptr;
    QAction *m_mnuFileSave = nullptr;
    QAction *m_mnuFileSaveAs = nullptr;
    QAction *m_mnuLine2 = nullptr;
    QAction *m_mnuFilePara = nullptr;
    QAction *m_mnuEdit = nullptr;
    QAction *m_mnuEditUndo = nullptr;
    QAction *m_mnuEditRedo = nullptr;
    QAction *m_mnuEditCut = nullptr;
    QAction *m_mnuEditCopy = nullptr;
    QAction *m_mnuEditPaste = nullptr;
    bool m_clipboardHasText = false; // read when the clipboard changes, not at every menu update
    QAction *m_mnuDisp = nullptr;
    QAction *m_mnuDispCmd = nullptr;
    CommunicationMenu *m_comm = nullptr;
    DocumentActions *m_documentActions = nullptr; // print, print preview, PDF
    QAction *m_mnuComm = nullptr;
    QAction *m_mnuWindow = nullptr;
    QAction *m_focusSwitch = nullptr;

    std::unique_ptr<CommandIcons> m_icons;
    std::unique_ptr<DataEntry> m_dataEntry;
    std::unique_ptr<FileDialogs> m_fileDialogs;
    std::unique_ptr<ProgramFiles> m_programFiles;
    std::unique_ptr<clsWindow> m_appLauncher;
    std::unique_ptr<Autosave> m_autosave;
    FrmCmd *m_frmCmd = nullptr;
    QPointer<ProblemsPanel> m_problems; // gone before the area while the window is taken down
};
