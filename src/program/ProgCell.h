#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One cell of a program: the command it holds, by number (1..17; 0 for an
// empty cell), and the texts of its parameters. This is how the document,
// the file reader and writer, the transmission text and the command-line
// tool hand cells to each other, so that none of them has to find a command
// again by its display name.
struct ProgCell
{
    int cmd = 0;
    QStringList params;

    bool isEmpty() const { return cmd == 0; }
    // Parameter i, counted from 1; empty when the cell has no such parameter.
    QString param(int i) const { return params.value(i - 1); }

    // From cell data, the array the data entry dialog works with: element
    // 0 the command number as decimal text, elements 1.. the parameters.
    // An element 0 that is no number 1..17 gives an empty cell.
    static ProgCell fromData(const QStringList &data);
    // The cell data of the cell; an empty cell is one empty text.
    QStringList toData() const;

    friend bool operator==(const ProgCell &a, const ProgCell &b)
    {
        return a.cmd == b.cmd && a.params == b.params;
    }
    friend bool operator!=(const ProgCell &a, const ProgCell &b) { return !(a == b); }
};

// A step: one cell per axis, axis 1 first.
using ProgStep = QList<ProgCell>;

// Spaces (and only spaces) removed at both ends. Parameters are kept this
// way wherever they are stored, written or sent, as the file reader reads
// them: a tab is part of a free text.
QString trimSpaces(QStringView text);
