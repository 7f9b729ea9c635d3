#pragma once

#include "sim/SimController.h"

#include <QStringList>

#include <memory>

// The simulator on a pseudo-terminal, faults given as command-line options
// ("fail:CHINF=!5", "silent:CHINF").
inline std::unique_ptr<SimController> startSimulator(const QStringList &faults)
{
    SimOptions options;
    for (const QString &f : faults) {
        // The line rather than a fault: "eol:lf", "lf-delay:20", "baud:600".
        if (f.startsWith(QLatin1String("eol:"))) {
            const QString eol = f.section(u':', 1);
            options.eol = eol == QLatin1String("lf") ? "\n" : eol == QLatin1String("cr") ? "\r" : "\r\n";
            continue;
        }
        if (f.startsWith(QLatin1String("lf-delay:"))) {
            options.lfDelayMs = f.section(u':', 1).toInt();
            continue;
        }
        if (f.startsWith(QLatin1String("baud:"))) {
            options.baud = f.section(u':', 1).toInt();
            continue;
        }
        QString error;
        const auto fault = SimFault::fromOption(f.section(u':', 0, 0), f.section(u':', 1), &error);
        if (!fault)
            qFatal("bad fault %s: %s", qPrintable(f), qPrintable(error));
        options.faults << *fault;
    }
    auto sim = std::make_unique<SimController>(options);
    QString error;
    if (!sim->start(&error))
        qFatal("simulator: %s", qPrintable(error));
    return sim;
}
