#include "DataEntryDialog.h"

#include "dlgData.h"

bool DataEntryDialog::dlgDataExe(int axis, int step, int cmd, const QStringList &data)
{
    dlgData dialog(m_catalogue, m_langIni, m_messages, m_icons, m_parent);
    const bool ok = dialog.dlgDataExe(axis, step, cmd, data);
    m_data = ok ? dialog.getTxtBoxData() : QStringList();
    return ok;
}
