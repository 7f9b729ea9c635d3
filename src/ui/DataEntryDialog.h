#pragma once

#include "program/DataEntry.h"

class Catalogue;
class CommandIcons;
class Messages;
class QWidget;
class clsIniFile;

// The document's data entry, answered by the modal dialog: a fresh dialog
// for every cell, so each starts from the catalogue and the data given.
class DataEntryDialog : public DataEntry
{
public:
    DataEntryDialog(const Catalogue &catalogue, const clsIniFile &langIni, Messages &messages,
                    const CommandIcons &icons, QWidget *parent)
        : m_catalogue(catalogue), m_langIni(langIni), m_messages(messages), m_icons(icons),
          m_parent(parent) {}

    bool dlgDataExe(int axis, int step, int cmd, const QStringList &data) override;
    QStringList getTxtBoxData() const override { return m_data; }

private:
    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    Messages &m_messages;
    const CommandIcons &m_icons;
    QWidget *m_parent;
    QStringList m_data;
};
