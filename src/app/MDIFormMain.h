#pragma once

#include <QMainWindow>

class QAction;
class QMdiArea;
class QMenu;
struct AppContext;

// The main window: a frame for the program documents, with the menu bar
// through which every operation is reached.
class MDIFormMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit MDIFormMain(AppContext &ctx, QWidget *parent = nullptr);

    // Finishes start-up after the controller type is confirmed and shows the
    // window with no document open.
    void ShowMainDialog();

    // Number the next new document window receives; never reused in a run.
    int nextDocNo() const { return m_nextDocNo; }

    QMdiArea *mdiArea() const { return m_mdiArea; }
    // A menu item (action) or menu by its name, e.g. "mnuFileSave", "mnuEdit".
    QAction *item(const QString &name) const;

signals:
    // The window has been closed: the run ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    QMenu *addMenu(const QString &name, const QString &stored, const QString &tag);
    QAction *addItem(QMenu *menu, const QString &name, const QString &stored,
                     const QString &tag, const QKeySequence &shortcut = {});
    QAction *addSeparator(QMenu *menu, const QString &name);
    void setUpSerialLink();
    void initMainWindow();

    AppContext &m_ctx;
    QMdiArea *m_mdiArea = nullptr;
    int m_nextDocNo = 1;
};
