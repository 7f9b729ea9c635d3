#pragma once

#include <QObject>

class QAction;
class QMenu;
struct RunContext;

// View > Language: both language files by their own names, the one chosen
// checked, and a line saying that a change applies at the next start. The
// choice is kept in the settings folder (LanguageChoice) and used when the
// program starts without a language argument.
class LanguageMenu : public QObject
{
    Q_OBJECT

public:
    LanguageMenu(const RunContext &run, QMenu *parent);

private:
    void choose(int langNo);

    const RunContext &m_run;
    QAction *m_languages[2] = {nullptr, nullptr};
};
