#include "FrmCmd.h"

#include "CmdHost.h"
#include "CommandDrag.h"
#include "CommandIcons.h"
#include "FrmProg.h"
#include "Twips.h"
#include "config/clsIniFile.h"
#include "program/Catalogue.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

QMimeData *LstCmd::mimeData(const QList<QListWidgetItem *> &items) const
{
    if (items.isEmpty())
        return new QMimeData;
    const QListWidgetItem *item = items.first();
    return CommandDrag::mimeData(item->data(Qt::UserRole).toInt(), item->text());
}

void LstCmd::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && currentItem()) {
        emit placeRequested(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

QStringList LstCmd::mimeTypes() const
{
    return {QLatin1String(CommandDrag::kMimeType), QStringLiteral("text/plain")};
}

FrmCmd::FrmCmd(const Catalogue &catalogue, const clsIniFile &langIni, const CommandIcons &icons,
               CmdHost &host, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_catalogue(catalogue),
      m_langIni(langIni), m_icons(icons), m_host(host)
{
    setObjectName(QStringLiteral("FrmCmd"));
    m_lstCmd = new LstCmd(this);
    m_lstCmd->setObjectName(QStringLiteral("LstCmd"));
    m_lstCmd->setAccessibleName(QStringLiteral("LstCmd"));
    m_lstCmd->setViewMode(QListView::ListMode);
    m_lstCmd->setIconSize(icons.size());
    m_lstCmd->setFrameShape(QFrame::NoFrame);
    m_lstCmd->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstCmd->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstCmd->setDragEnabled(true);
    m_lstCmd->setDragDropMode(QAbstractItemView::DragOnly);
    m_lstCmd->setDefaultDropAction(Qt::CopyAction);
    m_lstCmd->setUniformItemSizes(true);
    // The selection stays visible when the list loses the focus.
    QPalette pal = m_lstCmd->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    m_lstCmd->setPalette(pal);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_lstCmd);

    connect(m_lstCmd, &QListWidget::itemDoubleClicked, this, &FrmCmd::placeCommand);
    connect(m_lstCmd, &LstCmd::placeRequested, this, &FrmCmd::placeCommand);
    initList();
}

void FrmCmd::initList()
{
    const QString section = QStringLiteral("FrmCmd");
    setWindowTitle(m_langIni.GetINIStr(section, QStringLiteral("Title001")));
    m_langIni.CaptionChange(this);

    QSize size(Twips::toPixelsX(3000, this), Twips::toPixelsY(9300, this));
    // Wide enough for the title beside the title bar's buttons.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    size.setWidth(qMax(size.width(), fontMetrics().horizontalAdvance(windowTitle()) + 5 * titleBar));
    if (QScreen *s = screen()) {
        // At the right edge, but below the main window's title bar and menu
        // bar, whose buttons and menus it would otherwise cover.
        const QRect g = s->availableGeometry();
        int top = g.top();
        auto *main = qobject_cast<QMainWindow *>(parentWidget());
        if (main && main->isVisible() && main->centralWidget())
            top = qBound(g.top(), main->centralWidget()->mapToGlobal(QPoint(0, 0)).y(), g.bottom());
        // Shorter where the screen ends first, but never so short that the
        // top of the screen is not the better place.
        if (g.bottom() + 1 - top < size.height() / 2)
            top = g.top();
        size = size.boundedTo(QSize(g.width(), g.bottom() + 1 - top));
        resize(size);
        move(g.right() + 1 - size.width(), top);
    } else {
        resize(size);
    }

    m_lstCmd->clear();
    for (int cmd = 1; cmd <= Catalogue::kCommandCount; ++cmd) {
        auto *item = new QListWidgetItem(QIcon(m_icons.pixmap(cmd, devicePixelRatioF())),
                                         m_catalogue.name(cmd), m_lstCmd);
        item->setData(Qt::UserRole, cmd);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    }
}

void FrmCmd::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The frame is known only once the window manager has put one around
    // the window.
    QTimer::singleShot(100, this, &FrmCmd::keepFrameOnScreen);
}

void FrmCmd::keepFrameOnScreen()
{
    QScreen *s = screen();
    if (!s || !isVisible())
        return;
    const QRect g = s->availableGeometry();
    const QRect frame = frameGeometry();
    if (frame.right() > g.right())
        move(pos() - QPoint(frame.right() - g.right(), 0));
}

void FrmCmd::placeCommand(QListWidgetItem *item)
{
    FrmProg *form = m_host.activeForm();
    if (!form || !item)
        return;
    const int cmd = m_lstCmd->row(item) + 1;
    form->putAndFill(form->getSelectedAxis(), form->currentRow(), cmd,
                     m_catalogue.defaultCellData(cmd));
}

void FrmCmd::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.setMenuDispCmd(false);
}
