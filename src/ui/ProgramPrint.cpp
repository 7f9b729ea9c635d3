#include "ProgramPrint.h"

#include "config/clsIniFile.h"
#include "program/MotionPreview.h"
#include "program/ProgramDocument.h"
#include "program/ProgramProblems.h"

#include <QDate>
#include <QFontMetrics>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace {

QString section() { return QStringLiteral("Print"); }

} // namespace

ProgramPrint::ProgramPrint(const Catalogue &catalogue, const clsIniFile &langIni, const ProgramDocument &document,
                           const QString &fileName)
    : m_catalogue(catalogue), m_langIni(langIni), m_document(document), m_fileName(fileName)
{
}

QString ProgramPrint::text(const char *key) const
{
    return m_langIni.GetINIStr(section(), QLatin1String(key));
}

QList<std::pair<int, int>> ProgramPrint::pagesOf(int rows, int rowHeight, int firstSpace, int space)
{
    QList<std::pair<int, int>> pages;
    int row = 1;
    while (row <= rows) {
        const int room = pages.isEmpty() ? firstSpace : space;
        const int fits = std::max(1, room / std::max(1, rowHeight));
        const int last = std::min(rows, row + fits - 1);
        pages.append({row, last});
        row = last + 1;
    }
    if (pages.isEmpty())
        pages.append({1, 0}); // a program without steps still has its page
    return pages;
}

QStringList ProgramPrint::closingLines() const
{
    const int axes = m_document.getAxis();
    const QList<ProgStep> steps = m_document.steps();
    QStringList lines{text("Mes003")};
    const QList<ProgramProblems::Problem> problems = ProgramProblems::find(m_catalogue, axes, steps, m_langIni);
    for (const ProgramProblems::Problem &p : problems)
        lines << QStringLiteral("  %1%2  %3").arg(p.stepLabel(), p.axis ? u' ' + p.axisLetter() : QString(), p.text);
    if (problems.isEmpty())
        lines << QStringLiteral("  ") + text("Mes004");
    lines << QString();
    const MotionPreview::Result r = MotionPreview::run(m_catalogue, axes, steps);
    if (r.stopReason == MotionPreview::StopReason::StepBudget && r.repeatStep >= 0)
        lines << text("Mes006").arg(ProgramDocument::stepLabel(r.repeatStep + 1)).arg(r.repeatPeriod, 0, 'f', 3);
    else
        lines << text("Mes005").arg(r.cycleTime, 0, 'f', 3);
    return lines;
}

int ProgramPrint::paint(QPagedPaintDevice &device) const
{
    QPainter painter(&device);
    QFont font(QStringLiteral("Sans Serif"), 9);
    painter.setFont(font);
    const QFontMetrics fm(font, &device);
    const int width = device.width(), height = device.height();
    const int line = fm.lineSpacing();
    const int header = line * 3;      // the header line and a gap
    const int rowHeight = line * 2 + line / 2;
    const int axes = m_document.getAxis();
    const int rows = m_document.getStep();
    const QStringList closing = closingLines();
    // The headings of the steps' columns take a row on every page.
    const int space = height - header - rowHeight;
    QList<std::pair<int, int>> pages = pagesOf(rows, rowHeight, space, space);
    // The problems and the cycle time after the last step, on a page of
    // their own when they do not fit below it.
    const int lastUsed = header + rowHeight * (1 + pages.last().second - pages.last().first + 1);
    const bool closingApart = lastUsed + line * (int(closing.size()) + 1) > height;
    const int pageCount = int(pages.size()) + (closingApart ? 1 : 0);

    const QString type = text("Mes002").arg(axes);
    const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    const int stepWidth = fm.horizontalAdvance(QStringLiteral("0000"));
    const int axisWidth = (width - stepWidth) / std::max(1, axes);
    const auto paintHeader = [&](int page) {
        painter.drawText(QRect(0, 0, width, line), Qt::AlignLeft, m_fileName);
        painter.drawText(QRect(0, 0, width, line), Qt::AlignHCenter, type + QStringLiteral("   ") + date);
        painter.drawText(QRect(0, 0, width, line), Qt::AlignRight, text("Mes001").arg(page).arg(pageCount));
        painter.drawLine(0, line + line / 4, width, line + line / 4);
    };
    const auto cell = [&](int row, int axis) {
        return m_document.data(m_document.index(row, ProgramDocument::textColumn(axis)), Qt::DisplayRole).toString();
    };

    for (int p = 0; p < pageCount; ++p) {
        if (p > 0)
            device.newPage();
        paintHeader(p + 1);
        int y = header;
        if (p < pages.size()) {
            // The column headings, then the steps of the page.
            painter.drawText(QRect(0, y, stepWidth, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             m_document.data(m_document.index(0, 0), Qt::DisplayRole).toString());
            for (int axis = 1; axis <= axes; ++axis)
                painter.drawText(QRect(stepWidth + (axis - 1) * axisWidth, y, axisWidth, rowHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter,
                                 m_document.data(m_document.index(0, ProgramDocument::textColumn(axis)), Qt::DisplayRole).toString().replace(u'\n', u' ') +
                                     QStringLiteral(" (") + QString(QChar(u'A' + axis - 1)) + u')');
            y += rowHeight;
            for (int row = pages.at(p).first; row <= pages.at(p).second; ++row) {
                painter.drawText(QRect(0, y, stepWidth, rowHeight), Qt::AlignLeft | Qt::AlignTop,
                                 ProgramDocument::stepLabel(row));
                for (int axis = 1; axis <= axes; ++axis)
                    painter.drawText(QRect(stepWidth + (axis - 1) * axisWidth, y, axisWidth - line, rowHeight),
                                     Qt::AlignLeft | Qt::AlignTop, cell(row, axis));
                y += rowHeight;
            }
        }
        if (p == pageCount - 1) {
            y += closingApart ? 0 : line;
            for (const QString &l : closing) {
                painter.drawText(QRect(0, y, width, line), Qt::AlignLeft, l);
                y += line;
            }
        }
    }
    return pageCount;
}
