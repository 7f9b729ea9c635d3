#pragma once

#include <QString>

// The language the user chose in View > Language, kept in lang.cfg of the
// settings folder ("0" Japanese, "1" English, and CR LF). It is used when
// the program is started without a language argument; an argument still
// wins.
namespace LanguageChoice {

inline constexpr const char *kFileName = "lang.cfg";

// The stored choice as a language argument ("0" or "1"); empty when there
// is none or it is not one of them.
QString load(const QString &settingsFolder);
// False when the file could not be written.
bool save(const QString &settingsFolder, int langNo);

} // namespace LanguageChoice
