#pragma once

#include "config/Messages.h"
#include "config/RunContext.h"
#include "program/Catalogue.h"

// Everything that lives for the whole run: the settings fixed at start-up,
// the command catalogue and the message boxes. Made once by the application
// (or by a test) and handed to the windows.
struct AppContext
{
    explicit AppContext(MessagePresenter &presenter)
        : messages(run.langIni, presenter) {}

    RunContext run;
    Catalogue catalogue;
    Messages messages;
};
