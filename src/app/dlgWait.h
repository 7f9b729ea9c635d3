#pragma once

#include <QDialog>

class QLabel;
class clsIniFile;

// Shown while the link check runs; closed by the check itself when the
// controller's answer has been handled or the reply time-out expired.
class dlgWait : public QDialog
{
    Q_OBJECT

public:
    explicit dlgWait(const clsIniFile &langIni, QWidget *parent = nullptr);

    // Shows the window modally until finish() is called; at once returns
    // when the check was over before the window could show.
    void ShowDialog();
    void finish();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    QLabel *m_lblMsg = nullptr;
    bool m_finishing = false;
};
