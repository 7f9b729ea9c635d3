#pragma once

#include "program/DataEntry.h"

// Places commands with the parameters it is given, without asking: the
// stand-in used until the data entry dialog is part of the application.
class UncheckedDataEntry : public DataEntry
{
public:
    bool dlgDataExe(int, int, int, const QStringList &data) override
    {
        m_data = data;
        return true;
    }
    QStringList getTxtBoxData() const override { return m_data; }

private:
    QStringList m_data;
};
