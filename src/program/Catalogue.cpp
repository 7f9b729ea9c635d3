#include "Catalogue.h"

#include "config/NumberText.h"
#include "config/clsIniFile.h"

#include <algorithm>
#include <cmath>

namespace {

// One command's row: the key of its display name, then the literal and
// keyed pieces in order. A piece starting with '@' names a key of section
// "Tool"; every other piece is literal.
struct RowPieces
{
    const char16_t *pieces[6];
};

// The fixed parts of each row, padded as the command table has always been;
// the padding carries no meaning since every column is trimmed.
// clang-format off
const RowPieces kRows[Catalogue::kCommandCount] = {
    {{u"@Mes001", u"|AGO:| |1|", u"@Mes101", u"|                                         |-99999999,99999999        |1| |1"}},
    {{u"@Mes002", u"|BGO:| |1|", u"@Mes102", u"|                                         |-99999999,99999999        |1| |1"}},
    {{u"@Mes003", u"|MGO:| |1|", u"@Mes103", u"|", u"@Mes203", u"|-99999999,99999999        |1| | "}},
    {{u"@Mes004", u"|H:  | |1|                                         |                                         |                          | | | "}},
    {{u"@Mes005", u"|P:  | | |", u"@Mes105", u"|                                         |0,99,-99999999,99999999   |2| | "}},
    {{u"@Mes006", u"|D:  | |1|", u"@Mes106", u"|[pps],[pps],[ms]                         |10,600000,10,600000,1,1000|3| | "}},
    {{u"@Mes007", u"|R:  | |1|", u"@Mes107", u"|                                         |-99999999,99999999        |1| | "}},
    {{u"@Mes008", u"|C:  | | |", u"@Mes108", u"|                                         |0,2,0,2,0,2,0,2           |4| | "}},
    {{u"@Mes009", u"|S:  | |1|", u"@Mes109", u"|                                         |0,15                      |1| | "}},
    {{u"@Mes010", u"|U00:| | |                                         |                                         |                          | | | "}},
    {{u"@Mes011", u"|U01:|1| |", u"@Mes111", u"|", u"@Mes211", u"|0,199                     |1|1| "}},
    {{u"@Mes012", u"|U02:|1| |", u"@Mes112", u"|", u"@Mes212", u"|A1,A0,0,1,0,199           |3|1| "}},
    {{u"@Mes013", u"|U03:|1| |", u"@Mes113", u"|", u"@Mes213", u"|0,199,1,8388607           |2|1| "}},
    {{u"@Mes014", u"|U04:| | |                                         |                                         |                          | |1| "}},
    {{u"@Mes015", u"|U99:| | |                                         |                                         |                          | | | "}},
    {{u"@Mes016", u"|W:  | | |", u"@Mes116", u"|[×100ms]                                |1,65535                   |1| | "}},
    {{u"@Mes017", u"|#:  |1| |", u"@Mes117", u"|                                         |L0,L45                    |1|1| "}},
};
// clang-format on

// Minimum and maximum of the controller parameters 0..99.
struct Bounds
{
    int min;
    int max;
};

// clang-format off
const Bounds kParamBounds[Catalogue::kParamNumberCount] = {
    // 0..9
    {0, 0}, {0, 2}, {0, 2}, {0, 9}, {0, 99}, {0, 3}, {0, 3}, {0, 1}, {10, 500000}, {10, 500000},
    // 10..19
    {1, 1000}, {-99999999, 99999999}, {0, 99999999}, {0, 99999999}, {-99999999, 99999999},
    {-99999999, 99999999}, {0, 999}, {0, 1}, {0, 1}, {0, 7},
    // 20..29
    {1, 1000000}, {0, 65535}, {0, 250000}, {0, 1}, {0, 2}, {-1, 99999999}, {-99999999, 99999999},
    {0, 2}, {0, 0}, {0, 0},
    // 30..39
    {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
    // 40..49
    {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
    // 50..59
    {0, 0}, {0, 3}, {0, 15}, {0, 0}, {0, 1}, {0, 1}, {0, 1}, {0, 2}, {0, 1}, {0, 0},
    // 60..69
    {0, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
    // 70..79
    {0, 4}, {0, 2}, {0, 3}, {-2, 99999999}, {0, 2}, {1, 1000000}, {0, 1}, {0, 10000}, {0, 1000}, {0, 0},
    // 80..89
    {0, 2}, {0, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
    // 90..99
    {0, 60}, {0, 2}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
};
// clang-format on

bool validCommand(int cmd)
{
    return cmd >= 1 && cmd <= Catalogue::kCommandCount;
}

} // namespace

void Catalogue::buildCatalogue(const clsIniFile &langIni)
{
    const QString section = QStringLiteral("Tool");
    for (int cmd = 1; cmd <= kCommandCount; ++cmd) {
        QString row;
        for (const char16_t *piece : kRows[cmd - 1].pieces) {
            if (!piece)
                break;
            const QString p = QString::fromUtf16(piece);
            row += p.startsWith(u'@') ? langIni.GetINIStr(section, p.mid(1), QString()) : p;
        }
        setCatalogueRow(cmd, row);
    }
}

void Catalogue::setCatalogueRow(int cmd, const QString &rowText)
{
    if (!validCommand(cmd))
        return;
    const QStringList pieces = rowText.split(u'|');
    auto &row = m_rows[cmd - 1];
    for (int col = 0; col < kColumnCount; ++col)
        row[col] = col < pieces.size() ? pieces.at(col).trimmed() : QString();
}

void Catalogue::buildParamRanges()
{
    for (int n = 0; n < kParamNumberCount; ++n) {
        m_paramMin[n] = QString::number(kParamBounds[n].min);
        m_paramMax[n] = QString::number(kParamBounds[n].max);
    }
}

QString Catalogue::text(int cmd, int column) const
{
    if (!validCommand(cmd) || column < 0 || column >= kColumnCount)
        return QString();
    return m_rows[cmd - 1][column];
}

int Catalogue::paramCount(int cmd) const
{
    const qint64 n = NumberText::leadingInteger(text(cmd, ParamCount));
    // Four fields at most, whatever a broken row says.
    return int(std::clamp<qint64>(n, 0, 4));
}

QStringList Catalogue::list(int cmd, int column) const
{
    const QString t = text(cmd, column);
    return t.isEmpty() ? QStringList() : t.split(u',');
}

int Catalogue::commandByName(const QString &name) const
{
    for (int cmd = 1; cmd <= kCommandCount; ++cmd) {
        if (m_rows[cmd - 1][Name] == name)
            return cmd;
    }
    return 0;
}

void Catalogue::getDefaultParams(int cmd, QStringList &data) const
{
    const int n = paramCount(cmd);
    while (data.size() <= n)
        data << QString();
    if (cmd == Label) {
        for (int i = 1; i <= n; ++i)
            data[i] = QString();
        return;
    }
    const QStringList ranges = list(cmd, Ranges);
    for (int i = 1; i <= n; ++i) {
        const QString minimum = 2 * i - 2 < ranges.size() ? ranges.at(2 * i - 2) : QString();
        if (minimum.startsWith(u'A')) {
            data[i] = QStringLiteral("A");
            continue;
        }
        const double v = std::trunc(NumberText::leadingNumber(minimum));
        data[i] = v >= 1 ? QString::number(qint64(v)) : QStringLiteral("0");
    }
}

QStringList Catalogue::defaultCellData(int cmd) const
{
    QStringList data{QString::number(cmd)};
    getDefaultParams(cmd, data);
    while (data.size() < 5)
        data << QString();
    return data;
}

double Catalogue::rangeBound(QStringView entry, QChar marker)
{
    const qsizetype at = entry.indexOf(marker, 0, Qt::CaseInsensitive);
    return NumberText::leadingNumber(at < 0 ? entry : entry.mid(at + 1));
}

QString Catalogue::getParamMin(int paramNo) const
{
    return paramNo >= 0 && paramNo < kParamNumberCount ? m_paramMin[paramNo] : QString();
}

QString Catalogue::getParamMax(int paramNo) const
{
    return paramNo >= 0 && paramNo < kParamNumberCount ? m_paramMax[paramNo] : QString();
}
