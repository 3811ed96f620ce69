#include "widgets/graph/qgraphdialogsignalpropertiesbase.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QGraphDialogSignalPropertiesBase::QGraphDialogSignalPropertiesBase(QWidget *parent, const char *name, bool modal,
                                                                   Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setModal(modal);
    form::set_object_name(this, name, "QGraphDialogSignalPropertiesBase");
    setSizeGripEnabled(true);
    QGraphDialogSignalPropertiesBaseLayout =
        form::top_layout<QVBoxLayout>(this, "QGraphDialogSignalPropertiesBaseLayout");
    layout3 = form::nested_layout<QGridLayout>("layout3");

    // Created in this order, so Tab goes from the limits to the colour button.
    cb_userdefined_limits = form::named<QCheckBox>(this, "cb_userdefined_limits");
    layout3->addWidget(cb_userdefined_limits, 1, 0, 1, 3);
    textLabel2 = form::named<QLabel>(this, "textLabel2");
    layout3->addWidget(textLabel2, 2, 0, 1, 2);
    le_min = form::named<QLineEdit>(this, "le_min");
    le_min->setAlignment(Qt::AlignRight);
    layout3->addWidget(le_min, 2, 2);
    le_max = form::named<QLineEdit>(this, "le_max");
    le_max->setAlignment(Qt::AlignRight);
    layout3->addWidget(le_max, 3, 2);
    textLabel3 = form::named<QLabel>(this, "textLabel3");
    layout3->addWidget(textLabel3, 3, 0, 1, 2);
    textLabel1 = form::named<QLabel>(this, "textLabel1");
    layout3->addWidget(textLabel1, 0, 0);
    pb_color = form::named<QPushButton>(this, "pb_color");
    layout3->addWidget(pb_color, 0, 1, 1, 2);
    QGraphDialogSignalPropertiesBaseLayout->addLayout(layout3);
    QGraphDialogSignalPropertiesBaseLayout->addItem(form::vertical_spacer());

    Layout1 = form::nested_layout<QHBoxLayout>("Layout1");
    Layout1->addItem(form::horizontal_spacer());
    pb_ok = form::named<QPushButton>(this, "pb_ok");
    pb_ok->setAutoDefault(true);
    pb_ok->setDefault(true);
    Layout1->addWidget(pb_ok);
    pb_cancel = form::named<QPushButton>(this, "pb_cancel");
    pb_cancel->setAutoDefault(true);
    Layout1->addWidget(pb_cancel);
    QGraphDialogSignalPropertiesBaseLayout->addLayout(Layout1);

    languageChange();
    form::resize(this, QSize(354, 201));

    connect(pb_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(pb_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void QGraphDialogSignalPropertiesBase::languageChange()
{
    setWindowTitle(tr("Signal Properties"));
    cb_userdefined_limits->setText(tr("Userdefined Limits"));
    textLabel2->setText(tr("Y-Min:"));
    textLabel3->setText(tr("Y-Max:"));
    textLabel1->setText(tr("Color:"));
    pb_color->setText(tr("Color"));
    pb_ok->setText(tr("&OK"));
    pb_ok->setShortcut(QKeySequence(QString()));
    pb_cancel->setText(tr("&Cancel"));
    pb_cancel->setShortcut(QKeySequence(QString()));
}
