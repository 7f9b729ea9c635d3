#include "ProblemsPanel.h"

#include "config/clsIniFile.h"
#include "program/ProgramDocument.h"
#include "program/ProgramProblems.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString section() { return QStringLiteral("ProblemsPanel"); }

constexpr int kRowRole = Qt::UserRole + 1;
constexpr int kColumnRole = Qt::UserRole + 2;

} // namespace

ProblemsPanel::ProblemsPanel(const Catalogue &catalogue, const clsIniFile &langIni, QWidget *parent)
    : QDockWidget(parent), m_catalogue(catalogue), m_langIni(langIni)
{
    setObjectName(section());
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("lstProblems"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->header()->setStretchLastSection(true);
    connect(m_list, &QTreeWidget::itemActivated, this, &ProblemsPanel::choose);
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("lblSummary"));
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_summary);
    setWidget(body);

    m_pause.setSingleShot(true);
    m_pause.setInterval(150);
    connect(&m_pause, &QTimer::timeout, this, &ProblemsPanel::checkNow);
    applyTexts();
}

void ProblemsPanel::applyTexts()
{
    setWindowTitle(text("Title001"));
    m_list->setHeaderLabels({text("Cap001"), text("Cap002"), text("Cap003")});
    m_list->setAccessibleName(windowTitle());
}

ProblemsPanel *ProblemsPanel::dock(const Catalogue &catalogue, const clsIniFile &langIni, QMainWindow *window,
                                   QMenu *viewMenu)
{
    auto *panel = new ProblemsPanel(catalogue, langIni, window);
    window->addDockWidget(Qt::BottomDockWidgetArea, panel);
    viewMenu->addAction(panel->toggleViewAction());
    return panel;
}

QString ProblemsPanel::text(const char *key) const
{
    return m_langIni.GetINIStr(section(), QLatin1String(key));
}

void ProblemsPanel::follow(ProgramDocument *document, int axes)
{
    if (document == m_document && axes == m_axes)
        return;
    for (const QMetaObject::Connection &c : std::as_const(m_watch))
        disconnect(c);
    m_watch.clear();
    m_document = document;
    m_axes = axes;
    if (document) {
        m_watch = document->watchEdits(this, [this] { m_pause.start(); });
    }
    checkNow();
}

void ProblemsPanel::checkNow()
{
    m_pause.stop();
    m_list->clear();
    if (!m_document) {
        m_summary->clear();
        return;
    }
    const QList<ProgramProblems::Problem> problems =
        ProgramProblems::find(m_catalogue, m_axes, m_document->steps(), m_langIni);
    QList<ProgramDocument::Mark> marks;
    int warnings = 0;
    QStyle *style = QApplication::style();
    const QIcon warning = style->standardIcon(QStyle::SP_MessageBoxWarning);
    const QIcon information = style->standardIcon(QStyle::SP_MessageBoxInformation);
    for (const ProgramProblems::Problem &p : problems) {
        const bool isWarning = p.severity == ProgramProblems::Severity::Warning;
        warnings += isWarning;
        auto *item = new QTreeWidgetItem(m_list, {p.stepLabel(), p.axisLetter(), p.text});
        item->setIcon(0, isWarning ? warning : information);
        item->setData(0, kRowRole, p.step + 1);
        item->setData(0, kColumnRole, p.axis == 0 ? 0 : ProgramDocument::iconColumn(p.axis));
        item->setToolTip(2, p.text);
        // A run of steps that never runs is marked on each of its steps.
        const int last = p.kind == ProgramProblems::Kind::NeverRuns ? p.args.value(1).toInt() : p.step;
        // A step's problem is shown on every cell of the step.
        for (int step = p.step; step <= std::max(p.step, last); ++step) {
            for (int axis = p.axis ? p.axis : 1; axis <= (p.axis ? p.axis : m_axes); ++axis)
                marks.append({step + 1, axis, p.text});
        }
    }
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);
    m_document->setMarks(marks);
    m_summary->setText(problems.isEmpty()
                           ? text("Mes001")
                           : text("Mes002").arg(warnings).arg(problems.size() - warnings));
}

void ProblemsPanel::choose(QTreeWidgetItem *item)
{
    if (item)
        emit cellChosen(item->data(0, kRowRole).toInt(), item->data(0, kColumnRole).toInt());
}
