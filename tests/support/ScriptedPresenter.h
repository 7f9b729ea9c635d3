#pragma once

#include "config/MessagePresenter.h"

#include <QList>

// Records every message box asked for and answers as told.
class ScriptedPresenter : public MessagePresenter
{
public:
    struct Shown
    {
        MsgKind kind;
        MsgButtons buttons;
        QString title;
        QString text;
    };

    int present(MsgKind kind, MsgButtons buttons, const QString &title,
                const QString &text) override
    {
        shown.append({kind, buttons, title, text});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }

    QList<int> answers; // taken in order; when empty: Ok, or Cancel for questions
    QList<Shown> shown;
};
