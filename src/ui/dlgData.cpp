#include "dlgData.h"

#include "CommandIcons.h"
#include "Twips.h"
#include "config/Messages.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"
#include "program/DataValidation.h"
#include "program/ProgramDocument.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QString section() { return QStringLiteral("dlgData"); }
}

dlgData::dlgData(const Catalogue &catalogue, const clsIniFile &langIni, Messages &messages,
                 const CommandIcons &icons, QWidget *parent)
    : QDialog(parent), m_catalogue(catalogue), m_langIni(langIni), m_messages(messages), m_icons(icons)
{
    setObjectName(section());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_grdData = new QTableWidget(2, 3, this);
    m_grdData->setObjectName(QStringLiteral("grdData"));
    m_grdData->horizontalHeader()->hide();
    m_grdData->verticalHeader()->hide();
    m_grdData->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grdData->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A summary only: it takes no input.
    m_grdData->setFocusPolicy(Qt::NoFocus);
    m_grdData->setSelectionMode(QAbstractItemView::NoSelection);
    m_grdData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdData->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_grdData->setFrameShape(QFrame::Box);
    m_grdData->setFrameShadow(QFrame::Plain);

    m_fraData = new QGroupBox(QString::fromUtf16(u"データ"), this);
    m_fraData->setObjectName(QStringLiteral("fraData"));
    m_fraData->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap001"));
    auto *fields = new QGridLayout(m_fraData);
    for (int i = 0; i < kFields; ++i) {
        auto *label = new QLabel(m_fraData);
        label->setObjectName(QStringLiteral("lblData%1").arg(i + 1));
        auto *edit = new QLineEdit(m_fraData);
        edit->setObjectName(QStringLiteral("txtData%1").arg(i + 1));
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        edit->setMinimumWidth(140);
        edit->installEventFilter(this);
        auto *unit = new QLabel(m_fraData);
        unit->setObjectName(QStringLiteral("lblUnit%1").arg(i + 1));
        label->setBuddy(edit);
        fields->addWidget(label, i, 0);
        fields->addWidget(edit, i, 1);
        fields->addWidget(unit, i, 2);
        m_lblData[size_t(i)] = label;
        m_txtData[size_t(i)] = edit;
        m_lblUnit[size_t(i)] = unit;
    }
    fields->setColumnStretch(1, 1);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("OKButton"));
    m_okButton->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap003"));
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(QString::fromUtf16(u"キャンセル"), this);
    m_cancelButton->setObjectName(QStringLiteral("CancelButton"));
    m_cancelButton->setProperty(clsIniFile::kTagProperty, QStringLiteral("Cap002"));
    connect(m_okButton, &QPushButton::clicked, this, &dlgData::confirm);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grdData, 0, Qt::AlignLeft);
    layout->addWidget(m_fraData);
    layout->addStretch();
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool dlgData::dlgDataExe(int axis, int step, int cmd, const QStringList &data)
{
    m_axis = axis;
    m_step = step;
    m_cmd = cmd;
    m_data = data;
    m_result = false;
    layoutDialog();
    exec();
    return m_result;
}

void dlgData::layoutDialog()
{
    setWindowTitle(m_langIni.GetINIStr(section(), QStringLiteral("Title001")));
    m_langIni.CaptionChange(this);

    // Summary: headings, then step, icon and name of the cell.
    auto cell = [this](int row, int col, const QString &text, Qt::Alignment align) {
        auto *item = new QTableWidgetItem(text);
        item->setTextAlignment(align);
        item->setFlags(Qt::ItemIsEnabled);
        m_grdData->setItem(row, col, item);
        return item;
    };
    const int axisKey = qBound(1, m_axis, 3) + 1;
    cell(0, 0, m_langIni.GetINIStr(section(), clsIniFile::numberedKey(u"Mes", 1)), Qt::AlignCenter);
    cell(0, 1, m_langIni.GetINIStr(section(), clsIniFile::numberedKey(u"Mes", axisKey)), Qt::AlignCenter);
    cell(0, 2, m_langIni.GetINIStr(section(), clsIniFile::numberedKey(u"Mes", 5)), Qt::AlignCenter);
    cell(1, 0, ProgramDocument::stepLabel(m_step), Qt::AlignCenter);
    QTableWidgetItem *picture = cell(1, 1, QString(), Qt::AlignCenter);
    if (m_cmd >= 1)
        picture->setData(Qt::DecorationRole, m_icons.pixmap(m_cmd, devicePixelRatioF()));
    cell(1, 2, m_catalogue.name(m_cmd), Qt::AlignLeft | Qt::AlignVCenter);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            if (r == 0 || c == 0)
                m_grdData->item(r, c)->setBackground(palette().button());
    m_grdData->setIconSize(m_icons.size());

    // The step and icon columns are widened only as far as their headings need.
    auto heading = [this](int col) {
        return fontMetrics().horizontalAdvance(m_grdData->item(0, col)->text()) + 12;
    };
    const int widths[3] = {qMax(Twips::toPixelsX(800, this), heading(0)),
                           qMax(m_icons.size().width() + Twips::toPixelsX(20, this), heading(1)),
                           Twips::toPixelsX(3300, this)};
    for (int c = 0; c < 3; ++c)
        m_grdData->setColumnWidth(c, widths[c]);
    m_grdData->setRowHeight(0, fontMetrics().lineSpacing() + 8);
    m_grdData->setRowHeight(1, m_icons.size().height() + Twips::toPixelsY(30, this));
    const int frame = 2 * m_grdData->frameWidth();
    m_grdData->setFixedSize(widths[0] + widths[1] + widths[2] + frame,
                            m_grdData->rowHeight(0) + m_grdData->rowHeight(1) + frame);

    for (int i = 0; i < kFields; ++i) {
        m_lblData[size_t(i)]->hide();
        m_txtData[size_t(i)]->hide();
        m_lblUnit[size_t(i)]->hide();
    }
    if (!m_catalogue.text(m_cmd, Catalogue::Captions).isEmpty()) {
        fillFields();
        m_fraData->show();
    } else {
        m_fraData->hide();
    }
}

void dlgData::fillFields()
{
    const int n = qMin(m_catalogue.paramCount(m_cmd), int(kFields));
    const QStringList labels = m_catalogue.text(m_cmd, Catalogue::Captions).split(u',');
    const QStringList units = m_catalogue.text(m_cmd, Catalogue::Units).split(u',');
    bool focused = false;
    for (int i = 1; i <= n; ++i) {
        const size_t k = size_t(i - 1);
        m_lblData[k]->setText(labels.value(i - 1));
        m_lblData[k]->show();
        // The values the field takes, then its unit: "10 … 600000 [pps]".
        const QString range = DataValidation::rangeText(m_catalogue, m_cmd, i);
        const QString unit = units.value(i - 1);
        m_lblUnit[k]->setText(range.isEmpty() ? unit : unit.isEmpty() ? range : range + u' ' + unit);
        m_lblUnit[k]->show();
        // A free text reads from the left and has room for all it may hold.
        const bool text = m_cmd == Catalogue::Label;
        m_txtData[k]->setAlignment((text ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        m_txtData[k]->setMinimumWidth(text ? m_txtData[k]->fontMetrics().horizontalAdvance(QString(46, u'0'))
                                           : 140);
        m_txtData[k]->setAccessibleName(labels.value(i - 1));
        if (i < m_data.size()) {
            m_txtData[k]->setText(m_data.at(i).trimmed());
        } else {
            m_txtData[k]->clear();
            const int owner = m_data.isEmpty() ? 0 : m_data.first().toInt();
            m_messages.showMessage(3, m_catalogue.name(owner));
        }
        m_txtData[k]->show();
        if (!focused) {
            m_txtData[k]->setFocus();
            focused = true;
        }
    }
}

bool dlgData::validateData()
{
    QStringList typed;
    for (int i = 0; i < kFields; ++i) {
        if (!m_txtData[size_t(i)]->isHidden())
            typed << m_txtData[size_t(i)]->text();
    }
    const DataCheck check = DataValidation::validateData(m_catalogue, m_langIni, m_cmd, typed, m_data);
    if (check.ok)
        return true;
    m_messages.showMessage(check.message, check.argument);
    if (check.field >= 1 && check.field <= kFields) {
        QLineEdit *edit = m_txtData[size_t(check.field - 1)];
        edit->setFocus();
        edit->selectAll();
    }
    return false;
}

void dlgData::confirm()
{
    if (!validateData())
        return;
    m_result = true;
    accept();
}

bool dlgData::eventFilter(QObject *watched, QEvent *event)
{
    // Entering a field selects its whole text, also when entered by a click.
    if (event->type() == QEvent::FocusIn) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}
