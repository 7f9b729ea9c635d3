#include "LineValues.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<qint32, 4> kBauds{4800, 9600, 19200, 38400};
constexpr std::array<QSerialPort::Parity, 3> kParities{
    QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity};
constexpr std::array<char, 3> kParityLetters{'N', 'E', 'O'};
constexpr std::array<QSerialPort::DataBits, 2> kDataBits{QSerialPort::Data7, QSerialPort::Data8};
constexpr std::array<QSerialPort::StopBits, 2> kStopBits{QSerialPort::OneStop,
                                                         QSerialPort::TwoStop};

// Value `index` (1-based) of the list; the first one outside the list.
template <typename T, std::size_t N>
T pick(const std::array<T, N> &values, int index)
{
    return (index >= 1 && index <= int(N)) ? values[std::size_t(index - 1)] : values.front();
}

template <typename T, std::size_t N>
QStringList numbers(const std::array<T, N> &values)
{
    QStringList out;
    for (T value : values)
        out << QString::number(int(value));
    return out;
}

} // namespace

QStringList LineValues::words(Parameter parameter)
{
    switch (parameter) {
    case Parameter::Baud:
        return numbers(kBauds);
    case Parameter::Parity: {
        QStringList out;
        for (char letter : kParityLetters)
            out << QString(QLatin1Char(letter));
        return out;
    }
    case Parameter::Data:
        return numbers(kDataBits);
    case Parameter::Stop:
        return numbers(kStopBits);
    }
    return {};
}

QString LineValues::text(const SerialLine &line)
{
    const auto at = [](const auto &values, auto value) {
        const auto it = std::find(values.begin(), values.end(), value);
        return int(it - values.begin());
    };
    return QStringList{QString::number(line.baud),
                       QString(QLatin1Char(kParityLetters[std::size_t(qMin(at(kParities, line.parity), 2))])),
                       QString::number(int(line.dataBits)), QString::number(int(line.stopBits))}
        .join(u',');
}

SerialLine LineValues::line(const QString &device, int baud, int parity, int data, int stop)
{
    SerialLine line;
    line.device = device;
    line.baud = pick(kBauds, baud);
    line.parity = pick(kParities, parity);
    line.dataBits = pick(kDataBits, data);
    line.stopBits = pick(kStopBits, stop);
    return line;
}
