#include "StepDiff.h"

#include "SendText.h"
#include "config/NumberText.h"

#include <algorithm>
#include <vector>

ProgStep StepDiff::normalised(ProgStep step)
{
    for (ProgCell &cell : step) {
        for (QString &p : cell.params) {
            p = trimSpaces(p);
            if (!p.isEmpty() && NumberText::isSignsAndDigits(p))
                p = QString::number(NumberText::leadingInteger(p));
        }
    }
    return step;
}

QString StepDiff::stepText(const ProgStep &step) const
{
    return SendText::step(m_catalogue, normalised(step));
}

QString StepDiff::cellText(const ProgStep &step, int axis) const
{
    if (axis < 1 || axis > step.size())
        return QString();
    const ProgStep one = normalised({step.at(axis - 1)});
    return one.first().isEmpty() ? QString() : SendText::cell(m_catalogue, axis, one.first());
}

QString StepDiff::axisLetter(int axis)
{
    return QString(QChar(u'A' + (axis - 1)));
}

StepDiff::StepDiff(const Catalogue &catalogue, const QList<ProgStep> &left, const QList<ProgStep> &right)
    : m_catalogue(catalogue)
{
    QStringList a, b;
    for (const ProgStep &s : left)
        a << stepText(s);
    for (const ProgStep &s : right)
        b << stepText(s);
    const qsizetype n = a.size(), m = b.size();

    // lcs[i][j]: the longest common subsequence of a[i..] and b[j..].
    std::vector<std::vector<int>> lcs(size_t(n + 1), std::vector<int>(size_t(m + 1), 0));
    for (qsizetype i = n - 1; i >= 0; --i) {
        for (qsizetype j = m - 1; j >= 0; --j) {
            lcs[size_t(i)][size_t(j)] = a.at(i) == b.at(j)
                ? lcs[size_t(i + 1)][size_t(j + 1)] + 1
                : std::max(lcs[size_t(i + 1)][size_t(j)], lcs[size_t(i)][size_t(j + 1)]);
        }
    }

    // The steps left over on both sides between two aligned steps.
    QList<int> gapLeft, gapRight;
    const auto flushGap = [&] {
        const qsizetype paired = std::min(gapLeft.size(), gapRight.size());
        for (qsizetype k = 0; k < paired; ++k) {
            Row row{Row::Changed, gapLeft.at(k), gapRight.at(k), {}};
            const ProgStep &l = left.at(row.left), &r = right.at(row.right);
            const int axes = int(std::max(l.size(), r.size()));
            for (int axis = 1; axis <= axes; ++axis) {
                if (cellText(l, axis) != cellText(r, axis))
                    row.axes << axis;
            }
            if (row.axes.isEmpty())
                row.axes << 1;
            m_rows << row;
        }
        for (qsizetype k = paired; k < gapLeft.size(); ++k)
            m_rows << Row{Row::OnlyLeft, gapLeft.at(k), -1, {}};
        for (qsizetype k = paired; k < gapRight.size(); ++k)
            m_rows << Row{Row::OnlyRight, -1, gapRight.at(k), {}};
        gapLeft.clear();
        gapRight.clear();
    };
    qsizetype i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a.at(i) == b.at(j)) {
            flushGap();
            m_rows << Row{Row::Same, int(i), int(j), {}};
            ++i;
            ++j;
        } else if (j >= m || (i < n && lcs[size_t(i + 1)][size_t(j)] >= lcs[size_t(i)][size_t(j + 1)])) {
            gapLeft << int(i++);
        } else {
            gapRight << int(j++);
        }
    }
    flushGap();
}

QList<StepDiff::Row> StepDiff::differences() const
{
    QList<Row> out;
    std::copy_if(m_rows.begin(), m_rows.end(), std::back_inserter(out),
                 [](const Row &r) { return r.kind != Row::Same; });
    return out;
}

bool StepDiff::equal() const
{
    return std::all_of(m_rows.begin(), m_rows.end(), [](const Row &r) { return r.kind == Row::Same; });
}
