#pragma once

class FrmProg;

// What the command table window needs of the main window.
class CmdHost
{
public:
    virtual ~CmdHost() = default;
    // The active document window, or null when none is open.
    virtual FrmProg *activeForm() const = 0;
    // Shows (true) or closes (false) the command table window and sets the
    // check mark of its menu item.
    virtual void setMenuDispCmd(bool on) = 0;
};
