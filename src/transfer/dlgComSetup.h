#pragma once

#include "config/clsIniFile.h"
#include "link/ComSettings.h"

#include <QDialog>
#include <QTimer>

#include <array>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class NetworkProbe;

// The serial settings dialog: port COM1..COM8, speed, parity, data bits and
// stop bits as option buttons. It edits a working copy of the settings
// record; OK stores it in com.cfg and puts it onto the serial line, Cancel
// leaves everything as it was. Ports that cannot be opened are disabled,
// and each port shows its device and, where it cannot be used, why. A port
// on a serial device server is looked at in the background while the
// dialog is open: its line says "checking...", then whether the server
// took the connection or why not; the port stays selectable either way.
class dlgComSetup : public QDialog
{
    Q_OBJECT

public:
    dlgComSetup(ComSettings &settings, const clsIniFile &langIni, QWidget *parent = nullptr);
    ~dlgComSetup() override;

    // The working copy: what OK would store.
    ComRecord workingCopy() const { return m_work; }

private:
    // A frame of option buttons opt<name>1..n with the given captions, each
    // with the caption key of `tags` when there is one; selecting one stores
    // its index in `field`.
    QGroupBox *makeFrame(const QString &tag, const QString &caption, const QString &name,
                         const QStringList &captions, const QStringList &tags, int *field,
                         QButtonGroup *&group);
    // The port frame: the option buttons and, beside each, its device and
    // why it cannot be used.
    QGroupBox *makePortFrame();
    static void select(QButtonGroup *group, int index);
    void resetLineValues();
    void saveAndClose();

    // What is known about the chosen port's device, and the button that
    // puts its stable name into the port map.
    void showIdentity(int port);
    void useStableName();

    // Starts looking at network port 1..8 with the working copy's line
    // settings, dropping a look still under way; nothing for another port.
    void probe(int port);
    // The chosen RFC 2217 port looked at again when the line settings
    // differ from those it was looked at with.
    void reprobeChosen();
    // The port's line: its device and, after a colon, the state given.
    void showPortState(int port, const QString &state);
    QString text(int number, const char *english) const;

    ComSettings &m_settings;
    const clsIniFile m_langIni; // a copy: callers may pass a temporary
    QLabel *m_lblIdentity = nullptr;
    QPushButton *m_cmdById = nullptr;
    ComRecord m_work;
    QButtonGroup *m_optPort = nullptr;
    QButtonGroup *m_optBps = nullptr;
    QButtonGroup *m_optParity = nullptr;
    QButtonGroup *m_optData = nullptr;
    QButtonGroup *m_optStop = nullptr;
    std::array<NetworkProbe *, PortMap::kPortCount> m_probes{};
    std::array<SerialLine, PortMap::kPortCount> m_probedWith;
    QTimer m_reprobe; // several settings changed at once give one look
};
