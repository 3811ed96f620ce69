#pragma once
// What every form class shares: the margins and spacing of its layouts, its
// default object name, its spacers, font and colour changes, and the rule
// for its initial size.
#include <QBoxLayout>
#include <QColor>
#include <QGridLayout>
#include <QGroupBox>
#include <QSize>
#include <QSpacerItem>

class QWidget;

namespace form {

constexpr int margin = 11;
constexpr int spacing = 6;

// The top-level layout of a form or of a tab or stack page: margin 11,
// spacing 6, unless the form gives others.
template <class Layout>
Layout *top_layout(QWidget *parent, const char *name, int layout_margin = margin, int layout_spacing = spacing)
{
    auto *layout = new Layout(parent);
    layout->setObjectName(QString::fromLatin1(name));
    layout->setContentsMargins(layout_margin, layout_margin, layout_margin, layout_margin);
    layout->setSpacing(layout_spacing);
    return layout;
}

// A layout nested in another: created without a parent, margin 0, spacing 6;
// the caller fills it and adds it with addLayout.
template <class Layout> Layout *nested_layout(const char *name)
{
    auto *layout = new Layout();
    layout->setObjectName(QString::fromLatin1(name));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// A widget of the form, created on its parent with its object name.
template <class Widget>
Widget *named(QWidget *parent, const char *name)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The inner layout of a group box (the older toolkit's group box or button
// group): margin 11, spacing 6, its contents aligned to the top. Radio
// buttons that are children of one group box exclude each other.
template <class Layout>
Layout *group_layout(QGroupBox *group)
{
    auto *layout = new Layout(group);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
    layout->setAlignment(Qt::AlignTop);
    return layout;
}

// Gives the form its class name as object name when the caller gave none.
void set_object_name(QWidget *form, const char *name, const char *class_name);

inline QSpacerItem *vertical_spacer(int width = 20, int height = 20)
{
    return new QSpacerItem(width, height, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

inline QSpacerItem *horizontal_spacer(int width = 20, int height = 20)
{
    return new QSpacerItem(width, height, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

// Changes the widget's own font: the point size and, when given, the weight
// (75 bold).
void set_font(QWidget *widget, int point_size, int weight = -1);
// The colour of the widget's text, or of its background (then painted).
void set_foreground(QWidget *widget, const QColor &colour);
void set_background(QWidget *widget, const QColor &colour);
// The background colour set_background gave the widget.
QColor background(const QWidget *widget);

// Resizes the form to the size its form gives, never below its minimum
// size hint in either direction.
void resize(QWidget *form, const QSize &size);

} // namespace form
