#pragma once

#include "link/AppContext.h"
#include "frmStart.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QTranslator;
class MDIFormMain;

// One run of the editor: chooses the language, asks for the controller type
// and then brings up the main window. Owns the run-wide state.
class VelomatApp : public QObject
{
    Q_OBJECT

public:
    explicit VelomatApp(MessagePresenter &presenter, QObject *parent = nullptr);
    ~VelomatApp() override;

    // Starts the run: language from the command line, then the controller
    // selection. `programFolder` holds the language files and typ.cfg.
    void start(const QString &programFolder, const QString &commandLine);

    AppContext &context() { return m_ctx; }
    frmStart *startDialog() const { return m_start; }
    MDIFormMain *mainWindow() const { return m_main.get(); }

signals:
    // The run is over: the user cancelled the selection or closed the main
    // window.
    void finished();

private:
    void installQtTranslations();
    void showMain();

    AppContext m_ctx;
    QPointer<frmStart> m_start;
    std::unique_ptr<MDIFormMain> m_main;
    std::unique_ptr<QTranslator> m_qtTranslator;
};
