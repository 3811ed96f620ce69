#include "core/widgets/vyr_signal_select_list_view.h"

#include <QKeyEvent>

VyrSignalSelectListView::VyrSignalSelectListView(QWidget *parent) : QTreeWidget(parent) {}

void VyrSignalSelectListView::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.at(0).isPrint()) {
        const QList<QTreeWidgetItem *> found =
            findItems(typed, Qt::MatchStartsWith | Qt::MatchCaseSensitive | Qt::MatchRecursive, 0);
        if (!found.isEmpty())
            scrollToItem(found.first());
    }
    QTreeWidget::keyPressEvent(event);
}

VyrSignalSelectItem::VyrSignalSelectItem(QTreeWidget *view) : QTreeWidgetItem(view) {}

VyrSignalSelectItem::VyrSignalSelectItem(QTreeWidgetItem *parent) : QTreeWidgetItem(parent) {}

bool VyrSignalSelectItem::operator<(const QTreeWidgetItem &other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (!m_case_insensitive)
        return text(column) < other.text(column);
    return text(column).toLower() < other.text(column).toLower();
}
