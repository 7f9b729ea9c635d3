#pragma once

#include "ProgCell.h"

#include <QString>

class Catalogue;

// The transmission text of a step: what the controller is sent for it,
// without step number and line end. The document, the command-line tool
// and the controller link all compose it here, so they send the same.
class SendText
{
public:
    // The text of a whole step (one cell per axis, axis 1 first): a command
    // sent once per step (a jump, a label, ...) stands alone as the cell of
    // axis 1; otherwise every axis's cell, joined by "|". No cells: empty.
    static QString step(const Catalogue &catalogue, const ProgStep &cells);

    // The text of one cell of axis 1..3: the mnemonic, the axis letter where
    // the command takes one, then the parameters as the command writes them.
    static QString cell(const Catalogue &catalogue, int axis, const ProgCell &cell);

    // Whether a controller parameter number is one of the axis parameters,
    // which are sent with the axis letter instead of a ",".
    static bool isAxisParam(const QString &paramNo);
};
