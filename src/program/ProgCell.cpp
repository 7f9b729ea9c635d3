#include "ProgCell.h"

#include "Catalogue.h"

ProgCell ProgCell::fromData(const QStringList &data)
{
    ProgCell cell;
    bool ok = false;
    const int cmd = data.value(0).trimmed().toInt(&ok);
    if (!ok || cmd < 1 || cmd > Catalogue::kCommandCount)
        return cell;
    cell.cmd = cmd;
    cell.params = data.mid(1);
    return cell;
}

QStringList ProgCell::toData() const
{
    if (isEmpty())
        return {QString()};
    return QStringList{QString::number(cmd)} + params;
}

QString trimSpaces(QStringView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from) == u' ')
        ++from;
    while (to > from && text.at(to - 1) == u' ')
        --to;
    return text.mid(from, to - from).toString();
}
