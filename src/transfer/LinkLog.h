#pragma once

#include <QListWidget>

class TrafficLog;
class clsIniFile;

// The traffic log of a link dialog, the same view in each: one row per line
// of the session's log, the end in view. It is read, not worked in: out of
// the Tab chain, on the button-face colour. Its context menu copies the
// selected lines or all of them, and saves the log where the user chooses
// in the form of every text file of the program (code page 932, CR LF) and
// of velomat-cli --log.
class LinkLog : public QListWidget
{
    Q_OBJECT

public:
    LinkLog(const clsIniFile &langIni, QWidget *parent = nullptr);

    // Shows the log's lines: only the last row can have grown since the
    // last call, and rows are only added. Every row keeps its measured
    // size, so that a call costs the lines added, not the length of the log.
    void showLog(const TrafficLog &log);

    // The rows as text, one per line ("\n" between them); only the
    // selected ones when `selectedOnly`.
    QString text(bool selectedOnly) const;
    // Writes every row to `path`; false with the reason in *error.
    bool saveTo(const QString &path, QString *error) const;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void saveAs();

    const clsIniFile &m_langIni;
};
