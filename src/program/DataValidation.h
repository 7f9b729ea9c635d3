#pragma once

#include <QString>
#include <QStringList>

class Catalogue;
class clsIniFile;

// Outcome of the OK check of the data entry dialog. When refused, the dialog
// shows message `message` with `argument` in front of its text and puts the
// focus in input field `field`.
struct DataCheck
{
    bool ok = true;
    int message = 0;  // 17 or 19 when refused
    QString argument; // the text put in front of the message
    int field = 0;    // 1-based field to focus when refused
};

// The checks behind the command data entry dialog: every parameter value is
// checked against the limits of the command catalogue, with the extra rules
// of the parameter-write command P and the speed command D. Nothing here
// touches a widget; the dialog hands in the texts of its fields.
class DataValidation
{
public:
    // Message numbers of a refusal.
    static constexpr int kMsgInvalidValue = 17;
    static constexpr int kMsgNotWritable = 19;

    // The OK check. `fields` are the texts of the visible input fields as
    // typed (fields[0] is field 1); only the fields given are checked, and
    // none beyond the command's parameter count. `data` is the dialog's cell
    // data (element 0 the command number); the normalised value of every
    // field that passed is stored in it, also when a later field is refused,
    // and it grows to hold all parameters of the command.
    static DataCheck validateData(const Catalogue &catalogue, const clsIniFile &langIni, int cmd,
                                  const QStringList &fields, QStringList &data);

    // Checks one numeric (or axis letter) value against its range entries
    // and rewrites it: trimmed, and a number in plain decimal ("007" -> "7",
    // "-0" -> "0"). A number is an optional minus and digits, blanks around
    // it allowed; anything else ("--5", "1-2", "+5", "1.5") is refused. A
    // bound may carry the prefix "A", which also admits the axis letters
    // "A".."C" (the text is then kept as it is).
    static bool checkRange(QString &text, const QString &minimum, const QString &maximum);

    // The values field 1..n of a command takes, for the user: "10 … 600000",
    // "A … C" for an axis letter, "0 … 45" characters for a free text.
    static QString rangeText(const Catalogue &catalogue, int cmd, int field);

    // False for the controller parameters that a program may not write.
    static bool isWritableParam(const QString &text);

    // Whether `valueText` lies within the limits of controller parameter
    // `numberText`; a parameter number outside 0..99 is refused.
    static bool checkParamValue(const QString &numberText, const QString &valueText,
                                const Catalogue &catalogue);
};
