#pragma once

#include <QByteArray>
#include <QString>

// A settings file of one short line (lang.cfg, channel.cfg) in the settings
// folder.
namespace SettingLine {

// The file's first line, blanks trimmed; empty when there is none.
QByteArray read(const QString &folder, const char *fileName);
// Replaces the file with the line and CR LF; false when it cannot be
// written.
bool write(const QString &folder, const char *fileName, const QByteArray &line);

} // namespace SettingLine
