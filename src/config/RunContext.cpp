#include "RunContext.h"

#include "ControllerType.h"
#include "LanguageChoice.h"
#include "ProgramFolder.h"

void RunContext::chooseLanguage(const QString &folder, const QString &line)
{
    programFolder = folder;
    settingsFolder = ProgramFolder::settingsPath(folder);
    commandLine = line;
    // Without an argument, the language chosen in View > Language, if any.
    const QString chosen = line.trimmed().isEmpty() ? LanguageChoice::load(settingsFolder) : line;
    langNo = ControllerType::langNoFromCommandLine(chosen);
    langIni.setINIFile(ProgramFolder::file(folder, ControllerType::languageFileName(langNo)));
}

void RunContext::setControllerType(int type)
{
    axisNum = type;
    maxStep = ControllerType::maxStepFor(type);
}

QString RunContext::typCfgPath() const
{
    return ProgramFolder::file(settingsFolder, QString::fromLatin1(ControllerType::kFileName));
}
