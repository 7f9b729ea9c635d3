#include "CompareView.h"

#include "LinkDialogParts.h"

#include "config/clsIniFile.h"
#include "link/Channel.h"
#include "program/ProgramDocument.h"
#include "program/StepDiff.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString section() { return QStringLiteral("Compare"); }

// The marks of the view: a changed cell, a step only the channel holds, a
// step only the program holds.
const QColor kChanged(255, 214, 153);
const QColor kOnlyChannel(255, 189, 189);
const QColor kOnlyProgram(189, 230, 189);

} // namespace

CompareView::CompareView(const Catalogue &catalogue, const clsIniFile &langIni, int channel, const QString &program,
                         const QList<ProgStep> &channelSteps, const QList<ProgStep> &programSteps, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(section());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const auto text = [&](const char *key, const char16_t *fallback) {
        const QString t = langIni.GetINIStr(section(), QLatin1String(key));
        return t.isEmpty() ? QString::fromUtf16(fallback) : t;
    };
    const QString channelName = text("Cap004", u"チャンネル %1").arg(Channel::text(channel));
    setWindowTitle(text("Title001", u"%1 と %2 の比較").arg(channelName, program));

    const StepDiff diff(catalogue, channelSteps, programSteps);
    int axes = 1;
    for (const QList<ProgStep> *side : {&channelSteps, &programSteps}) {
        for (const ProgStep &s : *side)
            axes = std::max(axes, int(s.size()));
    }
    const int side = axes + 1; // the step number, then one column per axis
    m_table = new QTableWidget(int(diff.rows().size()), 2 * side, this);
    m_table->setObjectName(QStringLiteral("tblCompare"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    QStringList headers;
    for (const QString &title : {channelName, program}) {
        headers << title;
        for (int a = 1; a <= axes; ++a)
            headers << StepDiff::axisLetter(a);
    }
    m_table->setHorizontalHeaderLabels(headers);

    for (int r = 0; r < diff.rows().size(); ++r) {
        const StepDiff::Row &row = diff.rows().at(r);
        const auto fill = [&](int first, const QList<ProgStep> &steps, int index, const QColor &only) {
            for (int c = 0; c < side; ++c) {
                auto *item = new QTableWidgetItem;
                if (index >= 0) {
                    const ProgStep &step = steps.at(index);
                    item->setText(c == 0 ? ProgramDocument::stepLabel(index + 1) : diff.cellText(step, c));
                    if (row.kind == StepDiff::Row::Changed && c > 0 && row.axes.contains(c))
                        item->setBackground(kChanged);
                    else if (row.kind != StepDiff::Row::Same && row.kind != StepDiff::Row::Changed)
                        item->setBackground(only);
                }
                m_table->setItem(r, first + c, item);
            }
        };
        fill(0, channelSteps, row.left, kOnlyChannel);
        fill(side, programSteps, row.right, kOnlyProgram);
        if (row.kind != StepDiff::Row::Same)
            m_differences << r;
    }
    m_table->resizeColumnsToContents();

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    m_summary->setText(m_differences.isEmpty() ? text("Mes002", u"違いはありません。")
                                               : text("Mes001", u"違い: %1").arg(m_differences.size()));
    m_previous = LinkDialogParts::button(text("Cap001", u"前の違い"), "cmdPrevious", "Cap001", this);
    m_next = LinkDialogParts::button(text("Cap002", u"次の違い"), "cmdNext", "Cap002", this);
    auto *close = LinkDialogParts::button(text("Cap003", u"閉じる"), "cmdClose", "Cap003", this);
    m_previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    m_next->setShortcut(QKeySequence(Qt::Key_F3));
    connect(m_previous, &QPushButton::clicked, this, &CompareView::previousDifference);
    connect(m_next, &QPushButton::clicked, this, &CompareView::nextDifference);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    m_previous->setEnabled(!m_differences.isEmpty());
    m_next->setEnabled(!m_differences.isEmpty());

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(std::min(1100, m_table->horizontalHeader()->length() + 60), 520);
    if (!m_differences.isEmpty())
        nextDifference();
}

int CompareView::currentRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_table->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void CompareView::moveBy(int direction)
{
    if (m_differences.isEmpty())
        return;
    const int now = currentRow();
    int target = direction > 0 ? m_differences.first() : m_differences.last();
    if (direction > 0) {
        const auto it = std::upper_bound(m_differences.begin(), m_differences.end(), now);
        if (it != m_differences.end())
            target = *it;
    } else {
        const auto it = std::lower_bound(m_differences.begin(), m_differences.end(), now);
        if (it != m_differences.begin())
            target = *(it - 1);
    }
    m_table->selectRow(target);
    m_table->scrollToItem(m_table->item(target, 0), QAbstractItemView::PositionAtCenter);
}
