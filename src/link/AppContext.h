#pragma once

#include "CommandSet.h"
#include "ComSettings.h"
#include "SerialLink.h"
#include "config/Messages.h"
#include "config/RunContext.h"
#include "program/Catalogue.h"

#include <chrono>

// The pauses of a run that are not the link's own. Tests shorten them so
// that none waits out a real pause.
struct RunIntervals
{
    // The pause window shown before a transfer dialog opens.
    std::chrono::milliseconds transferPause{2000};
    // How often the modified documents are copied for recovery after a
    // crash.
    std::chrono::milliseconds autosave{30000};
};

// Everything that lives for the whole run, one instance each: the settings
// fixed at start-up (language, controller type), the command catalogue with
// the parameter limits, the message boxes, the document numbering, the
// serial settings, the serial link and the controller command set. The
// editor and velomat-cli build it the same way, in the same order; a test
// builds its own. Handed by reference to whoever needs it.
struct AppContext
{
    explicit AppContext(MessagePresenter &presenter)
        : messages(run.langIni, presenter), comSettings(QString()),
          link(comSettings.appliedLine()), commands(link, messages)
    {
        // Port problems are told in the run's language like every message.
        comSettings.setLanguage(&run.langIni);
        link.setLanguage(&run.langIni);
    }
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    // First thing of a run: the language from the command line, and the
    // settings reader bound to its file in the settings folder.
    void chooseLanguage(const QString &programFolder, const QString &commandLine)
    {
        run.chooseLanguage(programFolder, commandLine);
        comSettings.setSettingsFolder(run.settingsFolder);
    }
    // The controller type confirmed: axis count and step capacity.
    void setControllerType(int type) { run.setControllerType(type); }
    // What the main window builds once the type is confirmed: document
    // numbering from 1 with no transfer dialog open, the command catalogue
    // from the language file, then the parameter limit table.
    void buildRunObjects()
    {
        nextDocNo = 1;
        catalogue.buildCatalogue(run.langIni);
        catalogue.buildParamRanges();
    }
    // The serial link set up afresh: ports probed (the link's own port
    // closed first, so that it does not count as busy), com.cfg read and
    // rewritten, the line applied.
    void initComm()
    {
        link.closePort();
        comSettings.initComm();
    }
    // The start of a run without the controller selection dialog
    // (velomat-cli, the tests), in the order the editor goes through it:
    // language, controller type, run objects. The serial link is set up by
    // initComm (the editor, from com.cfg) or by applying a line directly
    // (velomat-cli's options, a test's pseudo-terminal).
    void build(const QString &programFolder, const QString &commandLine, int controllerType)
    {
        chooseLanguage(programFolder, commandLine);
        setControllerType(controllerType);
        buildRunObjects();
    }

    // The number for a new document window; never reused within a run.
    int takeDocNo() { return nextDocNo++; }

    RunContext run;
    Catalogue catalogue;
    Messages messages;
    ComSettings comSettings;
    SerialLink link;
    CommandSet commands;
    RunIntervals intervals;
    int nextDocNo = 1;
};
