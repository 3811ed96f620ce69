#include "widgets/graph/qgraphdialogsignalproperties.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleValidator>
#include <QLineEdit>
#include <QPushButton>

QGraphDialogSignalProperties::QGraphDialogSignalProperties(QWidget *parent, const char *name, bool modal,
                                                           Qt::WindowFlags flags)
    : QGraphDialogSignalPropertiesBase(parent, name, modal, flags)
{
    le_min->setValidator(new QDoubleValidator(le_min));
    le_max->setValidator(new QDoubleValidator(le_max));
    connect(pb_color, &QPushButton::clicked, this, &QGraphDialogSignalProperties::open_color_dialog);
    connect(le_min, &QLineEdit::textChanged, this, &QGraphDialogSignalProperties::state_changed);
    connect(le_max, &QLineEdit::textChanged, this, &QGraphDialogSignalProperties::state_changed);
    connect(cb_userdefined_limits, &QCheckBox::clicked, this, &QGraphDialogSignalProperties::state_changed);
    state_changed();
}

void QGraphDialogSignalProperties::set_color(const QColor &colour)
{
    m_color = colour;
    form::set_background(pb_color, colour);
}

void QGraphDialogSignalProperties::set_limits(double maximum, double minimum)
{
    le_min->setText(QString::number(minimum, 'g', 10));
    le_max->setText(QString::number(maximum, 'g', 10));
}

bool QGraphDialogSignalProperties::fixed_limits() const
{
    return cb_userdefined_limits->isChecked();
}

void QGraphDialogSignalProperties::set_fixed_limits(bool fixed)
{
    cb_userdefined_limits->setChecked(fixed);
    state_changed();
}

double QGraphDialogSignalProperties::minimum() const
{
    return le_min->text().toDouble();
}

double QGraphDialogSignalProperties::maximum() const
{
    return le_max->text().toDouble();
}

void QGraphDialogSignalProperties::state_changed()
{
    bool minimum_ok = false, maximum_ok = false;
    const double minimum = le_min->text().toDouble(&minimum_ok);
    const double maximum = le_max->text().toDouble(&maximum_ok);
    pb_ok->setEnabled(minimum_ok && maximum_ok && maximum > minimum);
    const bool fixed = cb_userdefined_limits->isChecked();
    le_min->setEnabled(fixed);
    le_max->setEnabled(fixed);
}

void QGraphDialogSignalProperties::open_color_dialog()
{
    const QColor colour = QColorDialog::getColor(m_color, this);
    if (colour.isValid())
        set_color(colour);
}
