#pragma once

#include "ProgCell.h"

#include <QList>
#include <QString>

class Catalogue;

// Two programs compared step by step as a controller would run them: what a
// channel holds (the left side) and a document or file (the right side).
// Steps are compared after normalising (numbers by value, "007" is "7"), and
// aligned on their longest common subsequence, so that one step inserted
// into a program is one difference and not every later step changed. Between
// two aligned steps, steps left over on both sides are paired as changed
// steps; what remains is a step only one side has.
class StepDiff
{
public:
    struct Row
    {
        enum Kind { Same, Changed, OnlyLeft, OnlyRight };
        Kind kind = Same;
        int left = -1;  // the step's index on the left (first step 0), -1 if none
        int right = -1; // and on the right
        QList<int> axes; // Changed: the axes (1..3) whose cells differ
    };

    StepDiff(const Catalogue &catalogue, const QList<ProgStep> &left, const QList<ProgStep> &right);

    // Every step of both sides, in program order.
    const QList<Row> &rows() const { return m_rows; }
    // The rows that are not Same.
    QList<Row> differences() const;
    bool equal() const;

    // A step as the controller keeps it: numeric parameters by value, every
    // other one without the spaces at its ends.
    static ProgStep normalised(ProgStep step);
    // The normalised transmission text of a step, and of one axis's cell
    // ("" for an axis the step does not have).
    QString stepText(const ProgStep &step) const;
    QString cellText(const ProgStep &step, int axis) const;
    // "A", "B", "C".
    static QString axisLetter(int axis);

private:
    const Catalogue &m_catalogue;
    QList<Row> m_rows;
};
