#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Program files dropped from a file manager onto a window are opened as
// File > Open opens them. A drag that carries no local file is refused.
class FileDrop : public QObject
{
public:
    FileDrop(QWidget *target, std::function<void(const QString &)> open);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const QString &)> m_open;
};
