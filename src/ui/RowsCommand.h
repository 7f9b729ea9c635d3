#pragma once

#include "program/ProgramDocument.h"

#include <QUndoCommand>

// An undo step of a document window: the rows one edit changed, put back
// as they were before it (undo) or after it (redo).
class RowsCommand : public QUndoCommand
{
public:
    // The edit has already been done when the command is pushed.
    RowsCommand(ProgramDocument &doc, ProgramDocument::RowsChange change);

    void undo() override;
    void redo() override;

    // The first row the edit changed; 0 when it left every cell as it was.
    int firstRow() const;

private:
    ProgramDocument &m_doc;
    ProgramDocument::RowsChange m_change;
    bool m_done = true; // the first redo, at the push, has nothing to do
};
