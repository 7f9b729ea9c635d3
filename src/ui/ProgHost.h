#pragma once

class DataEntry;
class FrmProg;

// What a document window needs of the main window that holds it.
class ProgHost
{
public:
    virtual ~ProgHost() = default;
    // Re-evaluates the menus that follow the active document.
    virtual void setMenuEnabled() = 0;
    // Saves the document as File > Save does; true when it was written.
    virtual bool saveProgram(FrmProg *form, bool saveAs) = 0;
    // The data entry dialog that places and edits commands.
    virtual DataEntry &dataEntry() = 0;
};
