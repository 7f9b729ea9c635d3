#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Catalogue;
class ProgramDocument;
class QPagedPaintDevice;
class clsIniFile;

// A program on paper or in a PDF, for the machine's binder: on every page a
// header (the file name, the controller type, the date, "page n of m"), then
// the steps as the grid shows them (the step number, and for each axis the
// command's name and its parameters); a step is never split across pages.
// After the steps come the program's problems and its estimated cycle time,
// under the motion preview's assumptions. Texts in the document's language.
class ProgramPrint
{
public:
    ProgramPrint(const Catalogue &catalogue, const clsIniFile &langIni, const ProgramDocument &document,
                 const QString &fileName);

    // Paints every page onto the device (a printer or a PDF writer); the
    // number of pages.
    int paint(QPagedPaintDevice &device) const;

    // The rows (first and last, 1-based) each page holds, for `rows` steps of
    // `rowHeight` each on pages with `firstSpace` and then `space` for steps.
    // A page holds at least one step, so that nothing is ever lost.
    static QList<std::pair<int, int>> pagesOf(int rows, int rowHeight, int firstSpace, int space);

    // The lines that follow the steps: problems, then the cycle time.
    QStringList closingLines() const;

private:
    QString text(const char *key) const;

    const Catalogue &m_catalogue;
    const clsIniFile &m_langIni;
    const ProgramDocument &m_document;
    QString m_fileName;
};
