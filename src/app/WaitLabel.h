#pragma once

#include <QLabel>

class clsIniFile;

// The one label of the wait windows: a text of section "WaitLabel" in a
// large bold font, centred as the window's whole content.
namespace WaitLabel {
QLabel *create(const clsIniFile &langIni, const QString &key, QWidget *window);
}
