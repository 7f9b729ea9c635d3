#include "VelomatApp.h"

#include "MDIFormMain.h"
#include "frmStart.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

VelomatApp::VelomatApp(MessagePresenter &presenter, QObject *parent)
    : QObject(parent), m_ctx(presenter)
{
}

VelomatApp::~VelomatApp()
{
    delete m_start;
    if (m_qtTranslator)
        QCoreApplication::removeTranslator(m_qtTranslator.get());
}

void VelomatApp::start(const QString &programFolder, const QString &commandLine)
{
    m_ctx.chooseLanguage(programFolder, commandLine);
    installQtTranslations();

    m_start = new frmStart(m_ctx);
    m_start->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_start, &frmStart::confirmed, this, &VelomatApp::showMain);
    connect(m_start, &frmStart::quitRequested, this, &VelomatApp::finished);
    m_start->show();
}

void VelomatApp::installQtTranslations()
{
    // Qt's own texts (standard buttons, file dialogs, context menus) follow
    // the language of the run: Japanese with LANG0.DAT, English otherwise.
    if (m_ctx.run.langNo != 0)
        return;
    m_qtTranslator = std::make_unique<QTranslator>();
    if (m_qtTranslator->load(QStringLiteral("qtbase_ja"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(m_qtTranslator.get());
    else
        m_qtTranslator.reset();
}

void VelomatApp::showMain()
{
    if (!m_main) {
        m_main = std::make_unique<MDIFormMain>(m_ctx);
        connect(m_main.get(), &MDIFormMain::unloaded, this, &VelomatApp::finished);
    }
    m_main->ShowMainDialog();
}
