#include "ChannelState.h"

#include "config/NumberText.h"
#include "config/clsIniFile.h"

#include <cmath>

int ChannelState::count(const QString &reply)
{
    const double n = NumberText::leadingNumber(QStringView(reply).mid(1));
    return std::isfinite(n) && std::fabs(n) < 1e9 ? int(n) : 0;
}

QString ChannelState::text(const QString &reply, const clsIniFile &langIni)
{
    const QString section = QStringLiteral("dlgDown");
    if (reply.isEmpty())
        return QString();
    QString word;
    switch (reply.at(0).unicode()) {
    case u'L': word = QStringLiteral("LOAD  "); break;
    case u'E': word = QStringLiteral("EDIT  "); break;
    case u'T': word = QStringLiteral("TEACH  "); break;
    case u'N': return langIni.GetINIStr(section, QStringLiteral("Mes002"));
    default: return QString();
    }
    // The number as the controller sent it, in plain decimal ("L05" -> 5).
    const double n = NumberText::leadingNumber(QStringView(reply).mid(1));
    return word + NumberText::shortest(std::isfinite(n) ? n : 0.0)
        + langIni.GetINIStr(section, QStringLiteral("Mes001"));
}
