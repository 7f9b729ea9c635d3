#pragma once

#include "config/clsIniFile.h"

#include <QDialog>

class LinkLog;
class QLabel;
class TrafficLog;

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
    // The link check's traffic below the text, in the link dialogs' log
    // view (shown from the first call on).
    void showLog(const TrafficLog &log);

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    LinkLog *m_log = nullptr;
    const clsIniFile m_langIni; // a copy: callers may pass a temporary
    QLabel *m_lblMsg = nullptr;
    bool m_finishing = false;
};
