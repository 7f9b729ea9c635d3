#pragma once

#include "program/DataEntry.h"

#include <QList>

// Stands in for the data entry dialog: records what it was asked and
// confirms (returning the given data, or `reply` when set) or cancels.
class ScriptedDataEntry : public DataEntry
{
public:
    struct Call
    {
        int axis;
        int step;
        int cmd;
        QStringList data;
    };

    bool dlgDataExe(int axis, int step, int cmd, const QStringList &data) override
    {
        calls.append({axis, step, cmd, data});
        m_last = reply.isEmpty() ? data : reply;
        return confirm;
    }
    QStringList getTxtBoxData() const override { return m_last; }

    bool confirm = true;
    QStringList reply; // when not empty, the data handed back
    QList<Call> calls;

private:
    QStringList m_last;
};
