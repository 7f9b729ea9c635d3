#include "WaitLabel.h"

#include "config/clsIniFile.h"

QLabel *WaitLabel::create(const clsIniFile &langIni, const QString &key, QWidget *parent)
{
    auto *label = new QLabel(langIni.GetINIStr(QStringLiteral("WaitLabel"), key), parent);
    label->setObjectName(QStringLiteral("lblMsg"));
    QFont font = label->font();
    font.setPointSize(16);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->adjustSize();
    return label;
}
