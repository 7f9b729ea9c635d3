#include "DocumentActions.h"

#include "MenuParts.h"
#include "link/AppContext.h"
#include "program/FileDialogs.h"
#include "program/ProgramDocument.h"
#include "ui/FrmProg.h"
#include "ui/PreviewWindow.h"
#include "ui/ProgramPrint.h"

#include <QAction>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

ProgramPrint printOf(AppContext &ctx, FrmProg &form)
{
    return ProgramPrint(ctx.catalogue, ctx.run.langIni, *form.document(), form.getFileName(false));
}

} // namespace

DocumentActions::DocumentActions(AppContext &ctx, const MenuParts &parts, QAction *fileMenu,
                                 std::function<FrmProg *()> active, std::function<FileDialogs &()> dialogs,
                                 QWidget *window)
    : QObject(window), m_ctx(ctx), m_active(std::move(active)), m_dialogs(std::move(dialogs)), m_window(window)
{
    const auto text = [](const char16_t *s) { return QString::fromUtf16(s); };
    QAction *print = parts.addItem(fileMenu, QStringLiteral("mnuFilePrint"), text(u"印刷(&P)..."),
                                   QStringLiteral("Cap026"), QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, this, &DocumentActions::print);
    QAction *preview = parts.addItem(fileMenu, QStringLiteral("mnuFilePrintPreview"), text(u"印刷プレビュー(&V)..."),
                                     QStringLiteral("Cap027"));
    connect(preview, &QAction::triggered, this, &DocumentActions::printPreview);
    QAction *pdf = parts.addItem(fileMenu, QStringLiteral("mnuFileExportPdf"), text(u"PDF に出力(&D)..."),
                                 QStringLiteral("Cap028"));
    connect(pdf, &QAction::triggered, this, &DocumentActions::exportPdf);
    m_items = {print, preview, pdf};
}

void DocumentActions::addPreviewItem(const MenuParts &parts, QAction *viewMenu)
{
    QAction *preview = parts.addItem(viewMenu, QStringLiteral("mnuDispPreview"),
                                     QString::fromUtf16(u"動作プレビュー(&M)..."), QStringLiteral("Cap029"));
    connect(preview, &QAction::triggered, this, &DocumentActions::showPreview);
    m_items << preview;
}

void DocumentActions::follow(FrmProg *form)
{
    if (m_preview)
        m_preview->follow(form ? form->document() : nullptr, form ? form->getAxis() : 1);
}

void DocumentActions::showPreview()
{
    FrmProg *form = m_active();
    if (!form)
        return;
    if (!m_preview) {
        m_preview = new PreviewWindow(m_ctx.catalogue, m_ctx.run.langIni, m_window);
        m_preview->setAttribute(Qt::WA_DeleteOnClose);
        // A step chosen in the chart is selected in the document's grid.
        connect(m_preview, &PreviewWindow::stepChosen, this, [this](int row) {
            if (FrmProg *active = m_active())
                active->selectCell(row, 1);
        });
    }
    follow(form);
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

void DocumentActions::updateItems(bool hasDocument)
{
    for (QAction *item : std::as_const(m_items))
        item->setEnabled(hasDocument);
}

void DocumentActions::print()
{
    FrmProg *form = m_active();
    if (!form)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(form->getFileName(false));
    QPrintDialog dialog(&printer, m_window);
    if (dialog.exec() == QDialog::Accepted)
        printOf(m_ctx, *form).paint(printer);
}

void DocumentActions::printPreview()
{
    FrmProg *form = m_active();
    if (!form)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(form->getFileName(false));
    QPrintPreviewDialog dialog(&printer, m_window);
    const ProgramPrint pages = printOf(m_ctx, *form);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&pages](QPrinter *p) { pages.paint(*p); });
    dialog.exec();
}

bool DocumentActions::exportPdf()
{
    FrmProg *form = m_active();
    if (!form)
        return false;
    const QFileInfo source(form->getFileName(true));
    const QString name = source.completeBaseName().isEmpty() ? form->getFileName(false) : source.completeBaseName();
    const QString path = m_dialogs().askSaveFileName(source.isAbsolute() ? source.absolutePath() : QString(),
                                                     name + QStringLiteral(".pdf"),
                                                     {{QStringLiteral("PDF"), QStringLiteral("*.pdf")}});
    if (path.isEmpty())
        return false;
    {
        QPdfWriter writer(path);
        writer.setTitle(form->getFileName(false));
        writer.setCreator(QStringLiteral("Velomat"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        printOf(m_ctx, *form).paint(writer);
    }
    if (QFileInfo(path).size() > 0)
        return true;
    m_ctx.messages.show(MsgKind::Error, MsgButtons::Ok,
                        m_ctx.run.langIni.GetINIStr(QStringLiteral("Print"), QStringLiteral("Mes007")).arg(path));
    return false;
}
