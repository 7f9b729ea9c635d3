#include "RowsCommand.h"

RowsCommand::RowsCommand(ProgramDocument &doc, ProgramDocument::RowsChange change)
    : m_doc(doc), m_change(std::move(change))
{
}

void RowsCommand::undo()
{
    m_doc.applyChange(m_change, true);
    m_done = false;
}

void RowsCommand::redo()
{
    if (!m_done)
        m_doc.applyChange(m_change, false);
    m_done = true;
}

int RowsCommand::firstRow() const
{
    return m_change.isEmpty() ? 0 : m_change.first;
}
