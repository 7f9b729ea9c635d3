#pragma once

#include <QDialog>

#include <chrono>

class QLabel;
class QTimer;
class clsIniFile;

// The pause before a transfer dialog opens: a borderless window with one
// line of text that closes itself after the run's pause (two seconds).
class dlgInit : public QDialog
{
    Q_OBJECT

public:
    dlgInit(const clsIniFile &langIni, std::chrono::milliseconds interval,
            QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void reject() override;

private:
    QLabel *m_lblMsg = nullptr;
    QTimer *m_tmrInit = nullptr;
};
