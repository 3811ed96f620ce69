#include "windows/vyr_window_properties.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QScreen>

#include <algorithm>

#include <climits>

VyrWindowProperties::VyrWindowProperties(QWidget *parent, const char *name)
    : WindowPropertiesBase(parent, name), m_rate_validator(new QIntValidator(0, INT_MAX, this))
{
    le_update_rate->setValidator(m_rate_validator);
}

void VyrWindowProperties::set_title(const QString &text)
{
    le_title->setText(text);
    // The field shows the whole title (the dialog grows with it), up to a third of the screen.
    const QMargins margins = le_title->textMargins();
    const int room = le_title->fontMetrics().horizontalAdvance(text) + margins.left() + margins.right() + 12;
    const int screen_third = le_title->screen() ? le_title->screen()->availableGeometry().width() / 3 : room;
    le_title->setMinimumWidth(std::min(room, screen_third));
}

QString VyrWindowProperties::title() const
{
    return le_title->text();
}

void VyrWindowProperties::set_update_rate(int ms)
{
    le_update_rate->setText(QString::number(ms));
}

int VyrWindowProperties::update_rate() const
{
    bool ok = false;
    const int rate = le_update_rate->text().toInt(&ok);
    return ok ? rate : 0;
}

void VyrWindowProperties::set_identifier(const QString &text)
{
    le_identifier->setText(text);
}

QString VyrWindowProperties::identifier() const
{
    return le_identifier->text();
}
