#pragma once

class CommandIcons;
class Catalogue;
class DataEntry;
class FrmProg;
class Messages;
class clsIniFile;

// What a document window needs of the main window that holds it.
class ProgHost
{
public:
    virtual ~ProgHost() = default;
    // Re-evaluates the menus that follow the active document.
    virtual void setMenuEnabled() = 0;
    // Saves the document as File > Save does; true when it was written.
    virtual bool saveProgram(FrmProg *form, bool bSaveAs) = 0;
    // The data entry dialog that places and edits commands.
    virtual DataEntry &dataEntry() = 0;
};

// The run-wide things a document window works with.
struct ProgEnv
{
    const Catalogue *catalogue = nullptr;
    const clsIniFile *langIni = nullptr;
    Messages *messages = nullptr;
    const CommandIcons *icons = nullptr;
    int langNo = 0;
    int maxStep = 200;
    ProgHost *host = nullptr;
};
