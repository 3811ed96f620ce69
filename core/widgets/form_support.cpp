#include "core/widgets/form_support.h"

#include <QPalette>
#include <QWidget>

namespace form {

void set_object_name(QWidget *form, const char *name, const char *class_name)
{
    form->setObjectName(QString::fromLatin1(name && *name ? name : class_name));
}

void set_font(QWidget *widget, int point_size, int weight)
{
    QFont font = widget->font();
    font.setPointSize(point_size);
    if (weight >= 0)
        font.setWeight(weight);
    widget->setFont(font);
}

void set_foreground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

void set_background(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QColor background(const QWidget *widget)
{
    return widget->palette().color(QPalette::Base);
}

void resize(QWidget *form, const QSize &size)
{
    form->resize(size.expandedTo(form->minimumSizeHint()));
}

} // namespace form
