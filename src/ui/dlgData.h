#pragma once

#include <QDialog>
#include <QStringList>

#include <array>

class Catalogue;
class CommandIcons;
class Messages;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class clsIniFile;

// The command data entry dialog: a summary of the cell (step, icon, command
// name) and one labelled field with its unit per parameter. OK checks every
// value and closes only when all pass; the normalised values are then the
// dialog's result.
class dlgData : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kFields = 4;

    dlgData(const Catalogue &catalogue, const clsIniFile &langIni, Messages &messages,
            const CommandIcons &icons, QWidget *parent = nullptr);

    // Stores the cell, lays the dialog out for it, shows it modally and
    // returns true when OK passed the checks.
    bool dlgDataExe(int axis, int step, int cmd, const QStringList &data);
    // The cell data after OK: element 0 unchanged, then the accepted values.
    QStringList getTxtBoxData() const { return m_data; }

    QLineEdit *field(int i) const { return m_txtData[size_t(i - 1)]; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutDialog();
    void fillFields();
    bool validateData();
    void confirm();

    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    Messages &m_messages;
    const CommandIcons &m_icons;

    int m_axis = 1;
    int m_step = 1;
    int m_cmd = 0;
    QStringList m_data;
    bool m_result = false;

    QTableWidget *m_grdData = nullptr;
    QGroupBox *m_fraData = nullptr;
    std::array<QLabel *, kFields> m_lblData{};
    std::array<QLineEdit *, kFields> m_txtData{};
    std::array<QLabel *, kFields> m_lblUnit{};
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
