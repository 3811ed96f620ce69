#include "windows/base/header_tool_tip.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

HeaderToolTip::HeaderToolTip(QHeaderView *header) : QObject(header), m_header(header)
{
    header->viewport()->installEventFilter(this);
}

void HeaderToolTip::set_tip(int section, const QString &text)
{
    m_tips.insert(section, text);
}

bool HeaderToolTip::tip_at(const QPoint &point, QString *text, QRect *rect) const
{
    for (int i = 0; i < m_header->count(); ++i) {
        const int position = m_header->sectionViewportPosition(i);
        const int size = m_header->sectionSize(i);
        if (point.x() < position || point.x() >= position + size)
            continue;
        auto tip = m_tips.constFind(i);
        if (tip == m_tips.constEnd())
            return false;
        *text = *tip;
        *rect = QRect(QPoint(position, 0), QPoint(position + size - 1, m_header->height() - 1));
        return true;
    }
    return false;
}

bool HeaderToolTip::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto *help = static_cast<QHelpEvent *>(event);
    QString text;
    QRect rect;
    if (tip_at(help->pos(), &text, &rect))
        QToolTip::showText(help->globalPos(), text, m_header->viewport(), rect);
    else
        QToolTip::hideText();
    return true;
}
