#pragma once
// Finds the texts that a window shows cut: labels, buttons, tabs, combo
// boxes, line edits, header titles and the cells of item views narrower than
// their text, and widgets squeezed below the least size their texts need.
// Each finding names the widget by its object name (or class) and the text.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeView>

namespace elided_texts_detail {

inline QString name_of(const QWidget *widget)
{
    QString path = widget->objectName();
    for (const QWidget *w = widget; path.isEmpty() && w && !w->isWindow(); w = w->parentWidget())
        if (!w->objectName().startsWith(QLatin1String("qt_")))
            path = w->objectName();
    return QString::fromLatin1(widget->metaObject()->className()) + (path.isEmpty() ? QString() : " " + path);
}

inline QString plain(const QString &text)
{
    QString shown = text;
    if (Qt::mightBeRichText(shown)) {
        QTextDocument document;
        document.setHtml(shown);
        shown = document.toPlainText();
    }
    return shown.remove(QLatin1Char('&'));
}

inline int widest_line(const QFontMetrics &metrics, const QString &text)
{
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

inline void check_item_view(const QAbstractItemView *view, QStringList &found)
{
    const QAbstractItemModel *model = view->model();
    if (!model)
        return;
    const auto *tree = qobject_cast<const QTreeView *>(view);
    // Every row the view can show (at most a screenful of them): the last
    // column of a tree may run past the viewport, the user scrolls to it.
    const int rows = qMin(model->rowCount(view->rootIndex()), 60);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QModelIndex index = model->index(row, column, view->rootIndex());
            const QRect cell = view->visualRect(index);
            if (cell.isEmpty() || (tree && tree->isColumnHidden(column)))
                continue;
            const QString text = index.data(Qt::DisplayRole).toString();
            if (text.isEmpty())
                continue;
            QStyleOptionViewItem option;
            option.initFrom(view);
            option.font = view->font();
            option.rect = cell;
            option.features |= QStyleOptionViewItem::HasDisplay;
            const QSize needed = view->itemDelegate(index)->sizeHint(option, index);
            if (needed.width() > cell.width() + 1)
                found << QStringLiteral("%1: cell %2,%3 \"%4\" needs %5 of %6 pixels")
                             .arg(name_of(view))
                             .arg(row)
                             .arg(column)
                             .arg(text)
                             .arg(needed.width())
                             .arg(cell.width());
        }
}

} // namespace elided_texts_detail

// The cut texts of the visible widgets of root (root included).
inline QStringList elided_texts(QWidget *root)
{
    using namespace elided_texts_detail;
    QStringList found;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : widgets) {
        if (!widget->isVisible() || widget->width() <= 0)
            continue;
        const QFontMetrics metrics = widget->fontMetrics();
        // A window smaller than its layout needs squeezes its texts; a
        // scale of a slider or thermometer needs its whole size for the
        // labels at its ends.
        if ((widget->isWindow() && widget->layout()) || widget->inherits("QwtSlider") ||
            widget->inherits("QwtThermo")) {
            const QSize needed = widget->minimumSizeHint();
            if (needed.width() > widget->width() || needed.height() > widget->height())
                found << QStringLiteral("%1: needs %2x%3, has %4x%5")
                             .arg(name_of(widget))
                             .arg(needed.width())
                             .arg(needed.height())
                             .arg(widget->width())
                             .arg(widget->height());
        }
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull() || label->wordWrap())
                continue;
            const QSize needed = label->minimumSizeHint();
            if (needed.width() > label->width() || needed.height() > label->height())
                found << QStringLiteral("%1: label \"%2\" needs %3x%4, has %5x%6")
                             .arg(name_of(label), plain(label->text()))
                             .arg(needed.width())
                             .arg(needed.height())
                             .arg(label->width())
                             .arg(label->height());
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            const QString text = plain(button->text());
            if (text.isEmpty())
                continue;
            auto *tool = qobject_cast<QToolButton *>(button);
            if (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !tool->icon().isNull())
                continue;
            int room = button->width();
            if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button)) {
                room -= button->sizeHint().width() - widest_line(metrics, text);
            } else if (!tool) {
                QStyleOptionButton option;
                option.initFrom(button);
                room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width() -
                    (button->icon().isNull() ? 0 : button->iconSize().width() + 4);
            }
            if (widest_line(metrics, text) > room)
                found << QStringLiteral("%1: button \"%2\" needs %3, has %4 pixels")
                             .arg(name_of(button), text)
                             .arg(widest_line(metrics, text))
                             .arg(room);
        } else if (auto *tabs = qobject_cast<QTabBar *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const QRect tab = tabs->tabRect(i);
                const int needed = metrics.horizontalAdvance(plain(tabs->tabText(i))) +
                    tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs) +
                    (tabs->tabIcon(i).isNull() ? 0 : tabs->iconSize().width() + 4);
                if (tab.width() < needed || !tabs->rect().contains(tab))
                    found << QStringLiteral("%1: tab \"%2\" cut").arg(name_of(tabs), plain(tabs->tabText(i)));
            }
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = combo->isEditable();
            const int room =
                combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
            // The widest entry: each one is shown in the box once chosen.
            int widest = -1;
            int needed = 0;
            for (int i = 0; i < combo->count(); ++i) {
                const int width = metrics.horizontalAdvance(combo->itemText(i)) +
                    (combo->itemIcon(i).isNull() ? 0 : combo->iconSize().width() + 4);
                if (width > needed) {
                    needed = width;
                    widest = i;
                }
            }
            if (needed > room)
                found << QStringLiteral("%1: entry \"%2\" needs %3, has %4 pixels")
                             .arg(name_of(combo), combo->itemText(widest))
                             .arg(needed)
                             .arg(room);
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (qobject_cast<QComboBox *>(edit->parentWidget()) || edit->text().isEmpty())
                continue;
            const QMargins margins = edit->textMargins();
            const int room = edit->width() - margins.left() - margins.right() - 2 * 2 -
                2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
            const int needed = metrics.horizontalAdvance(edit->displayText());
            if (needed > room)
                found << QStringLiteral("%1: field \"%2\" needs %3, has %4 pixels")
                             .arg(name_of(edit), edit->displayText())
                             .arg(needed)
                             .arg(room);
        } else if (auto *header = qobject_cast<QHeaderView *>(widget)) {
            if (!header->model() || header->orientation() != Qt::Horizontal)
                continue;
            const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
            for (int section = 0; section < header->count(); ++section) {
                if (header->isSectionHidden(section) || header->sectionSize(section) == 0)
                    continue;
                const QString title = header->model()->headerData(section, Qt::Horizontal).toString();
                if (header->sectionSize(section) < metrics.horizontalAdvance(title) + 2 * margin)
                    found << QStringLiteral("%1: title \"%2\" needs %3, has %4 pixels")
                                 .arg(name_of(header), title)
                                 .arg(metrics.horizontalAdvance(title) + 2 * margin)
                                 .arg(header->sectionSize(section));
            }
        } else if (auto *view = qobject_cast<QAbstractItemView *>(widget)) {
            check_item_view(view, found);
        }
    }
    return found;
}
