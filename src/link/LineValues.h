#pragma once

#include "SerialLine.h"

#include <QStringList>

// The values each line parameter may take, in the order of com.cfg's
// 1-based indexes: the word the settings show and write ("9600", "E", "8",
// "1") and the serial port's value. The settings file, the settings dialog
// and velomat-cli's options all read them here.
namespace LineValues {

enum class Parameter { Baud, Parity, Data, Stop };

// The words of one parameter, index 1 first.
QStringList words(Parameter parameter);

// The line for the 1-based indexes; an index outside its list takes the
// first value.
SerialLine line(const QString &device, int baud, int parity, int data, int stop);

// The line's parameters in the settings' words: "9600,N,8,1".
QString text(const SerialLine &line);

} // namespace LineValues
