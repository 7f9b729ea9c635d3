#pragma once

#include <QDialog>

class QLabel;
class QTimer;
class clsIniFile;

// The pause before a transfer dialog opens: a borderless window with one
// line of text that closes itself after two seconds.
class dlgInit : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 2000;

    explicit dlgInit(const clsIniFile &langIni, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void reject() override;

private:
    QLabel *m_lblMsg = nullptr;
    QTimer *m_tmrInit = nullptr;
};
