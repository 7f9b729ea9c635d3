#pragma once

#include <QString>

class MessagePresenter;
struct RunIntervals;

// One whole run of the editor inside the QApplication already built: the
// controller selection, then the main window, until the run is over.
// The program folder is ProgramFolder::path(); `commandLine` chooses the
// language. Returns the exit code of the event loop.
int runEditor(MessagePresenter &presenter, const QString &commandLine);
// The same with the run's pauses as given (tests shorten them).
int runEditor(MessagePresenter &presenter, const QString &commandLine, const RunIntervals &intervals);
