#pragma once

#include <QString>

// How a message box looks and what it can answer.
enum class MsgKind { Question, Error, Warning, Information };
enum class MsgButtons { Ok, YesNo, YesNoCancel };

// Answer codes, the values callers compare with.
namespace MsgAnswer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
}

// Shows a modal message box and returns the answer code. The application
// installs one backed by real message boxes; tests install a scripted one.
class MessagePresenter
{
public:
    virtual ~MessagePresenter() = default;
    virtual int present(MsgKind kind, MsgButtons buttons, const QString &title,
                        const QString &text) = 0;
};
