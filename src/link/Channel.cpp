#include "Channel.h"

#include <QStringList>

#include <algorithm>

QList<int> Channel::parseList(QStringView text)
{
    QList<int> channels;
    for (QStringView item : text.split(u',')) {
        const qsizetype dash = item.indexOf(u'-');
        bool firstOk = false, lastOk = false;
        const int first = item.left(dash < 0 ? item.size() : dash).trimmed().toInt(&firstOk);
        const int last = dash < 0 ? first : item.mid(dash + 1).trimmed().toInt(&lastOk);
        if (!firstOk || (dash >= 0 && !lastOk) || !isValid(first) || !isValid(last) || last < first)
            return {};
        for (int c = first; c <= last; ++c)
            channels << c;
    }
    std::sort(channels.begin(), channels.end());
    channels.erase(std::unique(channels.begin(), channels.end()), channels.end());
    return channels;
}
