#include "ProgramDocument.h"

#include "Catalogue.h"
#include "DataEntry.h"
#include "ProgramFile.h"
#include "SendText.h"
#include "config/Messages.h"
#include "config/TextCodec.h"
#include "config/clsIniFile.h"

#include <algorithm>

ProgramDocument::ProgramDocument(const Catalogue &catalogue, const clsIniFile &langIni,
                                 Messages &messages, int maxStep, QObject *parent)
    : QAbstractTableModel(parent), m_catalogue(catalogue), m_langIni(langIni),
      m_messages(messages), m_maxStep(maxStep), m_cells(size_t(maxStep + 1) * 3)
{
    const QString section = QStringLiteral("FrmProg");
    for (int i = 1; i <= 6; ++i)
        m_headers << m_langIni.GetINIStr(section, clsIniFile::numberedKey(u"Mes", i));
}

void ProgramDocument::setAxis(int axes)
{
    beginResetModel();
    m_axisCount = qBound(1, axes, 3);
    std::fill(m_cells.begin(), m_cells.end(), Cell{});
    m_usedSteps = 0;
    endResetModel();
}

void ProgramDocument::setStep(int steps)
{
    m_usedSteps = qBound(0, steps, m_maxStep);
    emit stepCountChanged(m_usedSteps);
}

void ProgramDocument::setFileName(const QString &sName)
{
    m_filePath = sName;
    setCaption(getFileName(false));
}

QString ProgramDocument::getFileName(bool fullPath) const
{
    if (fullPath)
        return m_filePath;
    const qsizetype slash = m_filePath.lastIndexOf(u'/');
    return slash < 0 ? m_filePath : m_filePath.mid(slash + 1);
}

void ProgramDocument::setDirty(bool dirty)
{
    m_dirty = dirty;
    if (dirty && !m_caption.endsWith(u'*'))
        setCaption(m_caption + u'*');
    else if (!dirty && m_caption.endsWith(u'*'))
        setCaption(m_caption.chopped(1));
}

void ProgramDocument::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    emit captionChanged(m_caption);
}

bool ProgramDocument::validCell(int axis, int row) const
{
    return axis >= 1 && axis <= m_axisCount && row >= 1 && row <= m_maxStep;
}

ProgCell ProgramDocument::cell(int axis, int row) const
{
    return validCell(axis, row) ? cellAt(axis, row).value : ProgCell{};
}

QStringList ProgramDocument::getProgCell(int axis, int row) const
{
    return cell(axis, row).toData();
}

int ProgramDocument::commandAt(int axis, int row) const
{
    return cell(axis, row).cmd;
}

QString ProgramDocument::cellText(int axis, int row) const
{
    const ProgCell &c = cellAt(axis, row).value;
    if (c.isEmpty())
        return QString();
    QString text = m_catalogue.name(c.cmd);
    if (!c.params.isEmpty())
        text += u'\r' + c.params.join(u',');
    return text;
}

bool ProgramDocument::putCell(int axis, int row, const ProgCell &value)
{
    // Checked before anything is written, so that icon and text never
    // disagree about a cell that was refused.
    if (!validCell(axis, row) || value.cmd < 1 || value.cmd > Catalogue::kCommandCount)
        return false;
    const int n = m_catalogue.paramCount(value.cmd);
    if (value.params.size() < n)
        return false;
    Cell &c = cellAt(axis, row);
    c.icon = value.cmd;
    c.value.cmd = value.cmd;
    c.value.params.clear();
    for (int i = 1; i <= n; ++i)
        c.value.params << trimSpaces(value.param(i));
    touchRows(row, row);
    return true;
}

bool ProgramDocument::bPutProgCell(int axis, int row, int command, const QStringList &data)
{
    return putCell(axis, row, ProgCell{command, data.mid(1)});
}

void ProgramDocument::putNoOp(int axis, int row)
{
    bPutProgCell(axis, row, Catalogue::U00, {QString::number(Catalogue::U00)});
}

void ProgramDocument::picturePut(int axis, int row, int command)
{
    if (!validCell(axis, row))
        return;
    cellAt(axis, row).icon = (command >= 1 && command <= Catalogue::kCommandCount) ? command : 0;
    touchRows(row, row);
}

void ProgramDocument::clearCell(int axis, int row)
{
    if (!validCell(axis, row))
        return;
    cellAt(axis, row) = Cell{};
    touchRows(row, row);
}

bool ProgramDocument::canPlace(int axis, int row, int command) const
{
    // BGO: moves two axes together; a one-axis program has no second one.
    return validCell(axis, row) && !(command == Catalogue::BGO && m_axisCount == 1);
}

bool ProgramDocument::editCell(int axis, int row, int command, const QStringList &data,
                               DataEntry &entry)
{
    if (!canPlace(axis, row, command))
        return false;
    if (!entry.dlgDataExe(axis, row, command, data))
        return false;
    placeData(axis, row, command, entry.getTxtBoxData());
    return true;
}

bool ProgramDocument::placeAndFill(int axis, int row, const ProgCell &cell)
{
    if (cell.isEmpty() || !canPlace(axis, row, cell.cmd))
        return false;
    const int before = m_usedSteps;
    placeData(axis, row, cell.cmd, cell.toData());
    fillStepsNoOp(before + 1);
    return true;
}

void ProgramDocument::placeData(int axis, int row, int command, QStringList data)
{
    while (data.size() <= m_catalogue.paramCount(command))
        data << QString();

    // What the other axes of the step receive.
    bool fill = m_catalogue.fillsStep(command);
    int fillCmd = fill ? command : int(Catalogue::U00);
    if (!fill) {
        for (int j = 1; j <= m_axisCount; ++j) {
            if (m_catalogue.fillsStep(commandAt(j, row))) {
                fill = true;
                break;
            }
        }
    }

    beginBulk();
    for (int j = 1; j <= m_axisCount; ++j) {
        if (j == axis)
            continue;
        if (fill || cellAt(j, row).value.isEmpty()) {
            bPutProgCell(j, row, fillCmd, data);
            continue;
        }
        const int d = commandAt(j, row);
        const int c = command;
        bool toNoOp = false;
        if (!m_catalogue.isExclusive(c) && c != Catalogue::U00)
            toNoOp = m_catalogue.isExclusive(d);
        else if (m_catalogue.isExclusive(c))
            toNoOp = d != Catalogue::U00 && d != c;
        if (toNoOp)
            putNoOp(j, row);
    }
    bPutProgCell(axis, row, command, data);
    endBulk();

    if (m_usedSteps < row)
        setStep(row);
    setDirty(true);
}

bool ProgramDocument::putAndFill(int axis, int row, int command, const QStringList &data,
                                 DataEntry &entry)
{
    const int before = m_usedSteps;
    if (!editCell(axis, row, command, data, entry))
        return false;
    fillStepsNoOp(before + 1);
    return true;
}

void ProgramDocument::fillStepsNoOp(int firstRow)
{
    beginBulk();
    for (int row = qMax(1, firstRow); row <= m_usedSteps - 1; ++row) {
        for (int axis = 1; axis <= m_axisCount; ++axis)
            putNoOp(axis, row);
    }
    endBulk();
}

ProgStep ProgramDocument::step(int row) const
{
    ProgStep cells;
    for (int axis = 1; axis <= m_axisCount; ++axis)
        cells << cell(axis, row);
    return cells;
}

QList<ProgStep> ProgramDocument::steps() const
{
    QList<ProgStep> result;
    for (int row = 1; row <= m_usedSteps; ++row)
        result << step(row);
    return result;
}

bool ProgramDocument::putSteps(const QList<ProgStep> &steps)
{
    beginBulk();
    bool ok = true;
    for (int row = 1; ok && row <= steps.size(); ++row) {
        const ProgStep &cells = steps.at(row - 1);
        for (int axis = 1; ok && axis <= cells.size(); ++axis)
            ok = putCell(axis, row, cells.at(axis - 1));
    }
    endBulk();
    if (ok)
        setStep(int(steps.size()));
    return ok;
}

bool ProgramDocument::insertStep(int row)
{
    if (m_usedSteps >= m_maxStep) {
        m_messages.showMessage(1);
        return false;
    }
    if (row < 1 || row > m_usedSteps) {
        m_messages.showMessage(2);
        return false;
    }
    // Cells move whole (text and icon), so nothing about them can be lost
    // on the way down.
    beginBulk();
    for (int r = m_usedSteps; r >= row; --r) {
        for (int axis = 1; axis <= m_axisCount; ++axis)
            cellAt(axis, r + 1) = cellAt(axis, r);
    }
    for (int axis = 1; axis <= m_axisCount; ++axis)
        putNoOp(axis, row);
    touchRows(row, m_usedSteps + 1);
    endBulk();
    setStep(m_usedSteps + 1);
    setDirty(true);
    return true;
}

bool ProgramDocument::deleteStep(int row)
{
    if (row < 1 || row > m_usedSteps) {
        m_messages.showMessage(2);
        return false;
    }
    beginBulk();
    for (int r = row; r <= m_usedSteps - 1; ++r) {
        for (int axis = 1; axis <= m_axisCount; ++axis)
            cellAt(axis, r) = cellAt(axis, r + 1);
    }
    for (int axis = 1; axis <= m_axisCount; ++axis)
        clearCell(axis, m_usedSteps);
    touchRows(row, m_usedSteps);
    endBulk();
    setStep(m_usedSteps - 1);
    setDirty(true);
    return true;
}

QString ProgramDocument::getSendStep(int row) const
{
    if (row < 1 || row > m_usedSteps)
        return QString();
    return SendText::step(m_catalogue, step(row));
}

std::vector<ProgramDocument::Cell> ProgramDocument::storedRows(int first, int last) const
{
    first = qBound(1, first, m_maxStep + 1);
    last = qBound(first - 1, last, m_maxStep);
    return std::vector<Cell>(m_cells.begin() + qsizetype(first) * 3, m_cells.begin() + qsizetype(last + 1) * 3);
}

std::optional<ProgramDocument::RowsChange> ProgramDocument::recordChange(const std::function<bool()> &change)
{
    // The whole grid before and after; no edit has to say in advance which
    // rows it will touch. What is kept is the one stretch of rows where the
    // two differ, between the rows both start with and the rows both end
    // with (empty rows at the end do not count).
    const std::vector<Cell> before = storedRows(1, m_maxStep);
    const int usedBefore = m_usedSteps;
    if (!change())
        return std::nullopt;
    const std::vector<Cell> after = storedRows(1, m_maxStep);

    auto sameRow = [](const std::vector<Cell> &a, qsizetype ra, const std::vector<Cell> &b, qsizetype rb) {
        return std::equal(a.begin() + ra * 3, a.begin() + ra * 3 + 3, b.begin() + rb * 3);
    };
    auto length = [](const std::vector<Cell> &cells) {
        qsizetype rows = qsizetype(cells.size() / 3);
        while (rows > 0 && std::all_of(cells.begin() + (rows - 1) * 3, cells.begin() + rows * 3,
                                       [](const Cell &c) { return c == Cell{}; }))
            --rows;
        return rows;
    };
    const qsizetype lengthBefore = length(before);
    const qsizetype lengthAfter = length(after);
    const qsizetype shorter = qMin(lengthBefore, lengthAfter);
    qsizetype head = 0;
    while (head < shorter && sameRow(before, head, after, head))
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && sameRow(before, lengthBefore - 1 - tail, after, lengthAfter - 1 - tail))
        ++tail;

    RowsChange done;
    done.first = int(head) + 1;
    done.tail = int(tail);
    done.usedBefore = usedBefore;
    done.usedAfter = m_usedSteps;
    done.before.assign(before.begin() + head * 3, before.begin() + (lengthBefore - tail) * 3);
    done.after.assign(after.begin() + head * 3, after.begin() + (lengthAfter - tail) * 3);
    return done;
}

void ProgramDocument::applyChange(const RowsChange &change, bool undo)
{
    const std::vector<Cell> &now = undo ? change.after : change.before;
    const std::vector<Cell> &wanted = undo ? change.before : change.after;
    const qsizetype tailNow = change.first + qsizetype(now.size() / 3);
    const qsizetype tailWanted = change.first + qsizetype(wanted.size() / 3);
    const auto cellOf = [this](qsizetype row) { return m_cells.begin() + row * 3; };

    beginBulk();
    // The rows after the stretch move first, so that the stretch can be
    // written in place.
    if (tailWanted > tailNow)
        std::copy_backward(cellOf(tailNow), cellOf(tailNow + change.tail), cellOf(tailWanted + change.tail));
    else if (tailWanted < tailNow)
        std::copy(cellOf(tailNow), cellOf(tailNow + change.tail), cellOf(tailWanted));
    std::copy(wanted.begin(), wanted.end(), cellOf(change.first));
    // Rows the program no longer reaches are empty again.
    std::fill(cellOf(tailWanted + change.tail), cellOf(qMax(tailNow, tailWanted) + change.tail), Cell{});
    const qsizetype last = qMax(tailNow, tailWanted) + change.tail - 1;
    if (last >= change.first)
        touchRows(change.first, int(last));
    endBulk();
    const int used = undo ? change.usedBefore : change.usedAfter;
    if (used != m_usedSteps)
        setStep(used);
}

QString ProgramDocument::stepsText(const QList<int> &rows) const
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QList<ProgStep> picked;
    for (int row : sorted) {
        if (row >= 1 && row <= m_usedSteps)
            picked << step(row);
    }
    return ProgramFile::stepLines(m_catalogue, m_axisCount, picked);
}

QString ProgramDocument::cellProgramText(int axis, int row) const
{
    const ProgCell value = cell(axis, row);
    if (value.isEmpty())
        return QString();
    return ProgramFile::stepLines(m_catalogue, 1, {ProgStep{value}});
}

bool ProgramDocument::isSingleCell(const QString &text)
{
    int steps = 0;
    for (const QString &line : TextCodec::splitLines(text)) {
        if (trimSpaces(line).isEmpty())
            continue;
        if (++steps > 1 || line.contains(u','))
            return false;
    }
    return steps == 1;
}

bool ProgramDocument::readProgramText(const QString &text, int axisCount, QList<ProgStep> &steps,
                                      QList<int> &lines) const
{
    const QString section = QStringLiteral("MsgBox");
    const QStringList textLines = TextCodec::splitLines(text);
    for (qsizetype i = 0; i < textLines.size(); ++i) {
        // Blank lines are skipped, as the file reader skips them.
        if (trimSpaces(textLines.at(i)).isEmpty())
            continue;
        ProgStep read;
        QString why;
        if (!ProgramFile::readStepLine(m_catalogue, textLines.at(i), axisCount, &read, &why)) {
            const QString key = m_langIni.GetINIStr(section, QStringLiteral("Mes056"));
            m_messages.show(MsgKind::Warning, MsgButtons::Ok,
                            key.arg(i + 1) + QStringLiteral("\n\n") + why);
            return false;
        }
        steps << read;
        lines << int(i) + 1;
    }
    if (steps.isEmpty()) {
        m_messages.showKey(QStringLiteral("Mes058"), MsgKind::Warning);
        return false;
    }
    return true;
}

bool ProgramDocument::pasteSteps(int row, const QString &text)
{
    QList<ProgStep> steps;
    QList<int> lines;
    if (!readProgramText(text, m_axisCount, steps, lines))
        return false;
    const int count = int(steps.size());
    if (m_usedSteps + count > m_maxStep) {
        // The line of the first step that finds no room.
        const QString key = m_langIni.GetINIStr(QStringLiteral("MsgBox"), QStringLiteral("Mes057"));
        m_messages.show(MsgKind::Warning, MsgButtons::Ok,
                        key.arg(m_maxStep).arg(lines.at(m_maxStep - m_usedSteps)));
        return false;
    }

    const int at = qBound(1, row, m_usedSteps + 1);
    beginBulk();
    for (int r = m_usedSteps; r >= at; --r) {
        for (int axis = 1; axis <= m_axisCount; ++axis)
            cellAt(axis, r + count) = cellAt(axis, r);
    }
    for (int i = 0; i < count; ++i) {
        for (int axis = 1; axis <= m_axisCount; ++axis)
            putCell(axis, at + i, steps.at(i).at(axis - 1));
    }
    touchRows(at, m_usedSteps + count);
    endBulk();
    setStep(m_usedSteps + count);
    setDirty(true);
    return true;
}

bool ProgramDocument::pasteCell(int axis, int row, const QString &text)
{
    QList<ProgStep> steps;
    QList<int> lines;
    if (!readProgramText(text, 1, steps, lines))
        return false;
    if (steps.size() > 1) {
        const QString key = m_langIni.GetINIStr(QStringLiteral("MsgBox"), QStringLiteral("Mes056"));
        m_messages.show(MsgKind::Warning, MsgButtons::Ok,
                        key.arg(lines.at(1)) + QStringLiteral("\n\none cell is pasted onto a cell, not more"));
        return false;
    }
    return placeAndFill(axis, row, steps.first().first());
}

bool ProgramDocument::deleteSteps(const QList<int> &rows)
{
    QList<bool> gone(m_usedSteps + 1, false);
    int first = m_usedSteps + 1;
    for (int row : rows) {
        if (row >= 1 && row <= m_usedSteps) {
            gone[row] = true;
            first = qMin(first, row);
        }
    }
    if (first > m_usedSteps) {
        m_messages.showMessage(2);
        return false;
    }
    // The steps kept close up, in their order.
    beginBulk();
    int to = first;
    for (int r = first; r <= m_usedSteps; ++r) {
        if (gone.at(r))
            continue;
        for (int axis = 1; axis <= m_axisCount; ++axis)
            cellAt(axis, to) = cellAt(axis, r);
        ++to;
    }
    for (int r = to; r <= m_usedSteps; ++r) {
        for (int axis = 1; axis <= m_axisCount; ++axis)
            cellAt(axis, r) = Cell{};
    }
    touchRows(first, m_usedSteps);
    endBulk();
    setStep(to - 1);
    setDirty(true);
    return true;
}

void ProgramDocument::beginBulk()
{
    ++m_bulkDepth;
}

void ProgramDocument::endBulk()
{
    if (m_bulkDepth == 0 || --m_bulkDepth > 0)
        return;
    if (m_touchedFirst < 0)
        return;
    const int first = m_touchedFirst;
    const int last = m_touchedLast;
    m_touchedFirst = m_touchedLast = -1;
    emit dataChanged(index(first, 0), index(last, columnCount() - 1));
}

void ProgramDocument::touchRows(int first, int last)
{
    if (m_touchedFirst < 0 || first < m_touchedFirst)
        m_touchedFirst = first;
    if (last > m_touchedLast)
        m_touchedLast = last;
    if (m_bulkDepth == 0) {
        ++m_bulkDepth;
        endBulk();
    }
}

int ProgramDocument::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_maxStep + 1;
}

int ProgramDocument::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3 * m_axisCount;
}

QString ProgramDocument::stepLabel(int row)
{
    return QString::number(row - 1).rightJustified(3, u'0');
}

QString ProgramDocument::headerText(int column) const
{
    if (column == 0)
        return m_headers.value(0);
    if (column % 3 == 1)
        return m_headers.value(axisOfColumn(column)); // Mes002..Mes004
    if (column % 3 == 2)
        return m_headers.value(4) + u'\n' + m_headers.value(5);
    return QString();
}

QVariant ProgramDocument::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row();
    const int col = index.column();

    if (role == Qt::TextAlignmentRole) {
        if (row == 0 || col == 0)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (row == 0)
        return role == Qt::DisplayRole ? QVariant(headerText(col)) : QVariant();
    const int axis = col == 0 ? 0 : axisOfColumn(col);
    if (const QString mark = markAt(row, axis); !mark.isEmpty() && (col == 0 || col % 3 != 0)) {
        if (role == MarkRole)
            return mark;
        if (role == Qt::ToolTipRole && col == 0)
            return mark;
        if (role == Qt::ToolTipRole && col % 3 != 0)
            return mark + u'\n' + data(index, Qt::DisplayRole).toString();
    }
    if (col == 0)
        return (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) ? QVariant(stepLabel(row))
                                                                           : QVariant();

    if (role == Qt::ToolTipRole) {
        // Over any column of an axis: the text of a label command, or the
        // whole cell text of any other (the text column cuts long values).
        if (axis > m_axisCount)
            return QString();
        if (commandAt(axis, row) == Catalogue::Label)
            return cell(axis, row).param(1);
        return cellText(axis, row).replace(u'\r', u'\n');
    }
    if (col % 3 == 0)
        return {}; // separator
    const int icon = cellAt(axis, row).icon;
    if (col == iconColumn(axis)) {
        switch (role) {
        case CommandRole: return icon;
        case Qt::AccessibleTextRole: return m_catalogue.name(icon);
        default: return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole: return cellText(axis, row).replace(u'\r', u'\n');
    case Qt::AccessibleTextRole: return cellText(axis, row).replace(u'\r', u' ');
    case CellTextRole: return cellText(axis, row);
    case CommandRole: return icon;
    default: return {};
    }
}

QVariant ProgramDocument::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return headerText(section);
    return section == 0 ? QString() : stepLabel(section);
}

Qt::ItemFlags ProgramDocument::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    if (index.row() == 0 || index.column() == 0)
        return Qt::ItemIsEnabled | Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
}

void ProgramDocument::setMarks(const QList<Mark> &marks)
{
    QHash<std::pair<int, int>, QString> next;
    for (const Mark &m : marks) {
        QString &text = next[{m.row, m.axis}];
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + m.text;
    }
    if (next == m_marks)
        return;
    // The rows whose marks come or go are painted again.
    int first = rowCount(), last = 0;
    for (const auto *set : {&m_marks, &next}) {
        for (auto it = set->cbegin(); it != set->cend(); ++it) {
            first = std::min(first, it.key().first);
            last = std::max(last, it.key().first);
        }
    }
    m_marks = std::move(next);
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1), {MarkRole, Qt::ToolTipRole});
}

QList<QMetaObject::Connection> ProgramDocument::watchEdits(QObject *context, const std::function<void()> &edited)
{
    return {connect(this, &QAbstractItemModel::dataChanged, context,
                    [edited](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                        // The marks changing is no change of the program.
                        if (!roles.contains(MarkRole))
                            edited();
                    }),
            connect(this, &QAbstractItemModel::modelReset, context, edited),
            connect(this, &QAbstractItemModel::rowsInserted, context, edited),
            connect(this, &QAbstractItemModel::rowsRemoved, context, edited),
            connect(this, &ProgramDocument::stepCountChanged, context, edited)};
}
