#pragma once

#include "LinkViews.h"
#include "program/ProgCell.h"
#include "program/SendText.h"

#include <QList>

class Catalogue;

// Steps held in a list (a program file read whole) as a download takes
// them from the editor's active document: step 1 first, each as its
// transmission text.
class StepList : public StepSource
{
public:
    StepList(const Catalogue &catalogue, const QList<ProgStep> &steps)
        : m_catalogue(catalogue), m_steps(steps) {}
    int getStep() const override { return int(m_steps.size()); }
    QString getSendStep(int step) const override
    {
        return step >= 1 && step <= m_steps.size() ? SendText::step(m_catalogue, m_steps.at(step - 1))
                                                   : QString();
    }

private:
    const Catalogue &m_catalogue;
    const QList<ProgStep> &m_steps;
};
