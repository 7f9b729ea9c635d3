#pragma once

#include <QString>
#include <QStringList>

#include <array>

class clsIniFile;

// The controller command set known to the editor: 17 commands, each a row of
// ten text columns, and the value limits of the controller parameters 0..99
// that the parameter-write command can set. Built once at start-up from the
// language file, read-only afterwards.
class Catalogue
{
public:
    static constexpr int kCommandCount = 17;
    static constexpr int kColumnCount = 10;
    static constexpr int kParamNumberCount = 100;
    // Largest magnitude any parameter value may have: eight decimal digits.
    static constexpr double kValueLimit = 99999999.0;

    enum Column {
        Name = 0,      // display name (language file)
        Mnemonic,      // command code with its colon, e.g. "AGO:"
        SendOnce,      // "1": one transmission text for the whole step
        AxisLetter,    // "1": the axis letter follows the mnemonic on the wire
        Captions,      // parameter captions, ","-separated
        Units,         // unit captions, ","-separated
        Ranges,        // minimum, maximum per parameter, ","-separated
        ParamCount,    // 0..4
        FillsStep,     // "1": the command occupies every axis of its step
        Exclusive,     // "1": shares a step only with itself or U00:
    };

    // Command numbers with rules of their own elsewhere.
    enum Command {
        AGO = 1, BGO = 2, MGO = 3, H = 4, P = 5, D = 6, R = 7, C = 8, S = 9,
        U00 = 10, U01 = 11, U02 = 12, U03 = 13, U04 = 14, U99 = 15, W = 16, Label = 17,
    };

    // Fills the 17 rows from section "Tool" of the language file.
    void buildCatalogue(const clsIniFile &langIni);
    // Splits a row text at "|" and stores the first ten pieces, trimmed, as
    // the columns of command `cmd`. Missing pieces leave empty columns.
    void setCatalogueRow(int cmd, const QString &rowText);
    // Fills the parameter limit table.
    void buildParamRanges();

    // The text of a column; empty for a command or column out of range.
    QString text(int cmd, int column) const;
    QString name(int cmd) const { return text(cmd, Name); }
    QString mnemonic(int cmd) const { return text(cmd, Mnemonic); }
    int paramCount(int cmd) const;
    bool isSendOnce(int cmd) const { return flag(cmd, SendOnce); }
    bool hasAxisLetter(int cmd) const { return flag(cmd, AxisLetter); }
    bool fillsStep(int cmd) const { return flag(cmd, FillsStep); }
    bool isExclusive(int cmd) const { return flag(cmd, Exclusive); }
    // The column split at "," (an empty column gives an empty list).
    QStringList list(int cmd, int column) const;

    // The command whose display name is exactly `name`, lowest number
    // first; 0 when there is none.
    int commandByName(const QString &name) const;

    // Fills elements 1..paramCount of `data` with the defaults of a newly
    // placed command, growing it as needed; element 0 stays as it is.
    void getDefaultParams(int cmd, QStringList &data) const;
    // The cell data of a newly placed command: its number, then its
    // defaults, as an array of five elements (0..4).
    QStringList defaultCellData(int cmd) const;

    // The number a range entry gives: what follows the first `marker`
    // (found case-insensitively; "A" marks an axis letter parameter, "L" a
    // text length), or the whole entry's leading number when it has none.
    static double rangeBound(QStringView entry, QChar marker);

    // Bounds of a controller parameter number 0..99; empty out of range.
    QString getParamMin(int paramNo) const;
    QString getParamMax(int paramNo) const;

private:
    bool flag(int cmd, int column) const { return text(cmd, column) == QLatin1String("1"); }

    std::array<std::array<QString, kColumnCount>, kCommandCount> m_rows;
    std::array<QString, kParamNumberCount> m_paramMin;
    std::array<QString, kParamNumberCount> m_paramMax;
};
