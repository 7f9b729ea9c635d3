#pragma once

#include "config/MessagePresenter.h"

#include <QEventLoop>
#include <QList>
#include <QTimer>

#include <chrono>
#include <functional>

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
        if (whilePresenting)
            whilePresenting();
        if (hold.count() > 0) {
            // As a modal box does: events go on while the user reads it.
            QEventLoop reading;
            QTimer::singleShot(hold, &reading, &QEventLoop::quit);
            reading.exec();
        }
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }

    QList<int> answers; // taken in order; when empty: Ok, or Cancel for questions
    QList<Shown> shown;
    std::chrono::milliseconds hold{0}; // how long each box stays open
    std::function<void()> whilePresenting; // called while each box is up
};
