#pragma once

#include "config/MessagePresenter.h"

class QWidget;

// Message boxes shown as modal QMessageBox windows.
class QtMessagePresenter : public MessagePresenter
{
public:
    int present(MsgKind kind, MsgButtons buttons, const QString &title,
                const QString &text) override;
};
