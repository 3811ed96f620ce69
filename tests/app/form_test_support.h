#pragma once
// Checks shared by the tests of the dialog forms.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

namespace form_test {

inline void expect_spacing(QWidget *form, const char *layout_name, int margin, int spacing)
{
    SCOPED_TRACE(layout_name);
    auto *layout = form->findChild<QLayout *>(layout_name);
    ASSERT_NE(layout, nullptr);
    const QMargins margins = layout->contentsMargins();
    EXPECT_EQ(margins, QMargins(margin, margin, margin, margin));
    EXPECT_EQ(layout->spacing(), spacing);
}

// The given size, or the minimum size hint where that is larger.
inline void expect_initial_size(QWidget *form, QSize size)
{
    EXPECT_EQ(form->size(), size.expandedTo(form->minimumSizeHint()));
}

// The text a widget shows: a label's or button's text, a group's title, a
// combo box's items joined by "|".
inline QString text_of(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *group = qobject_cast<QGroupBox *>(widget))
        return group->title();
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items.join('|');
    }
    return QString();
}

struct TextRow
{
    const char *name;
    const char *text;
};

// Every widget of the table exists under its object name and shows its text.
template <size_t size> void expect_texts(QWidget *form, const TextRow (&rows)[size])
{
    for (const TextRow &row : rows) {
        auto *widget = form->findChild<QWidget *>(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(text_of(widget), QString::fromUtf8(row.text)) << row.name;
    }
}

// Texts of all named widgets, to compare before and after languageChange().
inline QStringList all_texts(QWidget *form)
{
    QStringList texts{form->windowTitle()};
    for (QWidget *widget : form->findChildren<QWidget *>())
        if (!widget->objectName().isEmpty())
            texts << widget->objectName() + "=" + text_of(widget);
    return texts;
}

// The named widgets in the order the keyboard focus chain visits them.
inline QStringList focus_order(QWidget *form, const QStringList &names)
{
    QStringList order;
    for (QWidget *widget = form->nextInFocusChain(); widget != form; widget = widget->nextInFocusChain())
        if (names.contains(widget->objectName()))
            order << widget->objectName();
    return order;
}

// Runs `act` on the modal dialog once the event loop shows it.
inline void when_modal(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

} // namespace form_test
