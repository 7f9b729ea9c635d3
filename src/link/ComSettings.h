#pragma once

#include "PortMap.h"
#include "SerialLine.h"

#include <QString>

#include <array>

class clsIniFile;

// The serial settings record: port 0..8 (COMn, 0 = none), then 1-based
// indexes into the lists of speeds, parities, data bits and stop bits.
struct ComRecord
{
    int port = 0;
    int bps = 2;
    int parity = 1;
    int data = 2;
    int stop = 1;

    friend bool operator==(const ComRecord &a, const ComRecord &b)
    {
        return a.port == b.port && a.bps == b.bps && a.parity == b.parity && a.data == b.data
            && a.stop == b.stop;
    }
};

// The serial settings of the run: the record, kept in com.cfg in the settings
// folder as one line of five digits; which of COM1..COM8 can be opened (and
// why not); and the line put onto the serial port.
class ComSettings
{
public:
    static constexpr const char *kFileName = "com.cfg";
    // The defaults of port, bps, parity, data and stop, one digit each.
    static constexpr const char *kDefaults = "02121";

    // `settingsFolder` holds com.cfg and the port map (the program folder
    // when it is writable, else the user's configuration folder).
    explicit ComSettings(const QString &settingsFolder);
    // The settings folder, known once the run has chosen it.
    void setSettingsFolder(const QString &folder) { m_folder = folder; }
    // The run's language file, for why a port cannot be opened.
    void setLanguage(const clsIniFile *lang) { m_lang = lang; }

    // Digit n (1..5) of the defaults; 0 for any other n.
    static int getDefaultParam(int n);

    QString getComCfgPath() const;
    // The first line of the file when it is exactly five characters long;
    // otherwise the defaults, after writing the default file. A file that
    // cannot be read or written gives the defaults (nothing loops).
    QString readComCfg(const QString &path);
    // The current port and the default line parameters.
    bool writeDefaultComCfg(const QString &path) const;
    // The record as five digits and CR LF, replacing the file atomically.
    bool writeComCfg(const QString &path) const;

    // Probes COM1..COM8 (opens and closes each mapped device) and keeps,
    // for each, whether it can be opened and, when not, why. A network port
    // is not connected to (that may take seconds): a well-formed one counts
    // as usable, since a server that is down now may be up at the next
    // send; a malformed one does not.
    void scanPorts();
    // scanPorts, then the port from character 1 of the text (0 outside 1..8).
    void loadPortNo(const QString &text);
    // Line parameters from characters 2..5; one out of range takes its default.
    void loadLineParams(const QString &text);
    // The whole set-up: the port map and com.cfg read again, the ports
    // scanned, the record loaded, the file rewritten in normal form and the
    // line applied.
    void initComm();
    // With a port chosen, the line the serial port is set to becomes that
    // port's device and the record's parameters; with port 0 it stays.
    void applyComSettings();

    // p = 0: the configured port. False outside 1..8.
    bool isPortUsable(int p) const;
    // Why port 1..8 cannot be opened, for the user (empty when it can).
    QString portProblem(int p) const;

    ComRecord getComSettings() const { return m_record; }
    // Replaces the record and writes com.cfg. False when the file could not
    // be written; the record is replaced all the same.
    bool setComSettings(const ComRecord &record);

    // The line for the device with the record's parameters; an index
    // outside its list takes the default.
    static SerialLine line(const QString &device, const ComRecord &record);

    // "9600,N,8,1": the words of the record's indexes.
    QString settingsText() const;
    // The same for any record; an index outside its list takes the default.
    static QString settingsText(const ComRecord &record);
    // The line the serial port is set to (applyComSettings).
    const SerialLine &appliedLine() const { return m_applied; }
    // Sets the line directly, for a port and settings given on a command
    // line; the record and com.cfg stay as they are.
    void setAppliedLine(const SerialLine &line) { m_applied = line; }

    const PortMap &portMap() const { return m_portMap; }
    // Points port 1..8 at the stable name of its device (ports.cfg
    // rewritten, the ports scanned again), so that the mapping survives
    // re-plugging; false when there is none or the file cannot be written.
    bool useStableName(int port);
    // Where the port map is kept.
    QString portMapPath() const;
    // Where the system keeps the stable names (a test's own folder).
    void setByIdFolder(const QString &folder) { m_byIdFolder = folder; }
    QString settingsFolder() const { return m_folder; }

private:
    static bool writeLine(const QString &path, const QString &line);

    QString m_folder;
    PortMap m_portMap;
    ComRecord m_record{0, 0, 0, 0, 0};
    std::array<bool, 8> m_usable{};
    std::array<QString, 8> m_problem;
    SerialLine m_applied;
    const clsIniFile *m_lang = nullptr;
    QString m_byIdFolder = QString::fromLatin1(PortMap::kByIdFolder);
};
