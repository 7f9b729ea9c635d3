#pragma once

#include "program/ProgCell.h"

#include <QDialog>
#include <QList>

class Catalogue;
class QLabel;
class QPushButton;
class QTableWidget;
class clsIniFile;

// A channel and a program side by side, step by step as StepDiff aligns
// them: the channel's steps on the left, the program's on the right, a
// step only one side has across from an empty row, and the cells that
// differ marked. Previous and Next move from difference to difference.
class CompareView : public QDialog
{
    Q_OBJECT

public:
    CompareView(const Catalogue &catalogue, const clsIniFile &langIni, int channel, const QString &program,
                const QList<ProgStep> &channelSteps, const QList<ProgStep> &programSteps, QWidget *parent);

    QTableWidget *table() const { return m_table; }
    int differenceCount() const { return int(m_differences.size()); }
    // The row of the table that is selected (-1 for none).
    int currentRow() const;

    void nextDifference() { moveBy(1); }
    void previousDifference() { moveBy(-1); }

private:
    void moveBy(int direction);

    QTableWidget *m_table = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QList<int> m_differences; // the table rows that are differences
};
