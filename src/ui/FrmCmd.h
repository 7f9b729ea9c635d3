#pragma once

#include <QListWidget>
#include <QWidget>

class Catalogue;
class CmdHost;
class CommandIcons;
class clsIniFile;

// The list of the command table window: item n is command n. Items are
// dragged as their display name in plain text.
class LstCmd : public QListWidget
{
    Q_OBJECT

public:
    using QListWidget::QListWidget;
    QMimeData *mimeData(const QList<QListWidgetItem *> &items) const override;
    QStringList mimeTypes() const override;

signals:
    // Return, Enter or Space on a command: place it, as a double click does.
    void placeRequested(QListWidgetItem *item);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// The command table window: a small floating palette of the 17 commands at
// the right edge of the screen. Double-clicking a command places it at the
// selected cell of the active document; dragging it onto a grid places it
// where it is dropped.
class FrmCmd : public QWidget
{
    Q_OBJECT

public:
    FrmCmd(const Catalogue &catalogue, const clsIniFile &langIni, const CommandIcons &icons,
           CmdHost &host, QWidget *parent = nullptr);

    LstCmd *list() const { return m_lstCmd; }

    // Refreshes title, captions, items and placement; called each time the
    // window is shown.
    void initList();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void placeCommand(QListWidgetItem *item);
    // Once the window manager has framed the window: the frame too inside
    // the screen's right edge.
    void keepFrameOnScreen();

    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    const CommandIcons &m_icons;
    CmdHost &m_host;
    LstCmd *m_lstCmd = nullptr;
};
