#pragma once

#include <QStringList>

// The command data entry dialog as the document sees it: asked to edit the
// parameters of one cell, it answers whether the user confirmed, and then
// hands back the edited cell data.
class DataEntry
{
public:
    virtual ~DataEntry() = default;
    // Shows the dialog for the cell (axis 1..3, step row 1..maxStep) with the
    // command and its present cell data; true when the user confirmed.
    virtual bool dlgDataExe(int axis, int step, int cmd, const QStringList &data) = 0;
    // The edited cell data after a confirmed dialog: element 0 unchanged,
    // elements 1..paramCount the accepted values.
    virtual QStringList getTxtBoxData() const = 0;
};
