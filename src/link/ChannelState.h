#pragma once

#include <QString>

class clsIniFile;

// The channel state a channel information reply stands for, as the run
// control, download and upload dialogs show it: "LOAD  5 steps" for L5,
// "EDIT  ..." for E, "TEACH  ..." for T (the number followed by key Mes001
// of section dlgDown), key Mes002 of that section alone for N, and nothing
// for any other reply.
class ChannelState
{
public:
    static QString text(const QString &reply, const clsIniFile &langIni);
    // The number of the reply, from its second character on (0 when it has
    // none): the line count an upload of the channel is expected to bring.
    static int count(const QString &reply);
};
