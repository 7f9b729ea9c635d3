#pragma once

#include "SimFault.h"

#include <QByteArray>
#include <QList>
#include <QString>

// How the simulated controller behaves on its line.
struct SimOptions
{
    // The line end of every reply: "\r", "\n" or "\r\n".
    QByteArray eol = "\r\n";
    // 0: replies go out at once; otherwise they are paced at this rate,
    // ten bits per byte.
    int baud = 0;
    // 0: a reply goes out in one piece; otherwise in chunks of this many
    // bytes with chunkGapMs between them.
    int chunkSize = 0;
    int chunkGapMs = 5;
    // 0: a CR LF line end goes out as one; otherwise the LF of every reply
    // follows its CR this many milliseconds later, as from a USB serial
    // adapter whose packet ends between the two.
    int lfDelayMs = 0;
    QList<SimFault> faults;
    // A text file that keeps the channels across runs: read at start,
    // written after every program write. Empty: memory only.
    QString storeFile;
};
