#include "CliViews.h"

#include "link/TrafficLog.h"
#include "program/SendText.h"

#include <QEventLoop>
#include <QTextStream>

CliViews::CliViews(const Catalogue &catalogue, QEventLoop &loop, QTextStream &err, TrafficLog &log)
    : upload(catalogue), m_catalogue(catalogue), m_loop(loop), m_err(err), m_log(log)
{
}

void CliViews::closeWait()
{
    m_loop.quit();
}

void CliViews::comWait(bool waiting, int)
{
    if (!waiting)
        m_loop.quit();
}

void CliViews::comWait(bool waiting)
{
    if (!waiting)
        m_loop.quit();
}

void CliViews::setProgressbar(int value)
{
    m_err << "step " << value << '/' << steps.size() << '\n';
    m_err.flush();
}

void CliViews::setNewLine(bool newLine)
{
    m_log.bNewLine = newLine;
}

void CliViews::SetEnabled(bool running)
{
    if (!running)
        m_loop.quit();
}

bool CliViews::bTakeUploadLine(const QByteArray &line)
{
    if (upload.bTakeUploadLine(line))
        return true;
    refusedLine = line;
    return false;
}

void CliViews::uploadFinished()
{
    completed = true;
    m_loop.quit();
}

QString CliViews::getSendStep(int step) const
{
    return step >= 1 && step <= steps.size() ? SendText::step(m_catalogue, steps.at(step - 1)) : QString();
}
