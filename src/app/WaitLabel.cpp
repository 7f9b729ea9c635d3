#include "WaitLabel.h"

#include "config/clsIniFile.h"

#include <QVBoxLayout>

QLabel *WaitLabel::create(const clsIniFile &langIni, const QString &key, QWidget *window)
{
    auto *label = new QLabel(langIni.GetINIStr(QStringLiteral("WaitLabel"), key), window);
    label->setObjectName(QStringLiteral("lblMsg"));
    QFont font = label->font();
    font.setPointSize(16);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->adjustSize();
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(40, 28, 40, 28);
    layout->addWidget(label, 0, Qt::AlignCenter);
    return label;
}
