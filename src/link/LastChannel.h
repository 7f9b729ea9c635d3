#pragma once

#include <QString>

// The channel chosen last in a link dialog, kept in channel.cfg of the
// settings folder (two digits and CR LF), so that every link dialog, and the
// next run, opens at it rather than at 01.
namespace LastChannel {

inline constexpr const char *kFileName = "channel.cfg";

// The channel of the file; 1 when there is none or it is not 01..15.
int load(const QString &settingsFolder);
// Replaces the file; false when it could not be written (the choice is
// then simply not remembered).
bool save(const QString &settingsFolder, int channel);

} // namespace LastChannel
