#include "forms/dialog_options_base.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QKeySequence>
#include <QPushButton>

DialogOptionsBase::DialogOptionsBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setModal(modal);
    form::set_object_name(this, name, "DialogOptionsBase");
    DialogOptionsBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogOptionsBaseLayout");

    cb_text_labels = form::named<QCheckBox>(this, "cb_text_labels");
    DialogOptionsBaseLayout->addWidget(cb_text_labels);
    cb_compiler_ok_message = form::named<QCheckBox>(this, "cb_compiler_ok_message");
    DialogOptionsBaseLayout->addWidget(cb_compiler_ok_message);
    cb_disable_memory_optimization = form::named<QCheckBox>(this, "cb_disable_memory_optimization");
    DialogOptionsBaseLayout->addWidget(cb_disable_memory_optimization);
    cb_disable_splash_window = form::named<QCheckBox>(this, "cb_disable_splash_window");
    DialogOptionsBaseLayout->addWidget(cb_disable_splash_window);
    cb_disable_disclaimer_window = form::named<QCheckBox>(this, "cb_disable_disclaimer_window");
    DialogOptionsBaseLayout->addWidget(cb_disable_disclaimer_window);
    DialogOptionsBaseLayout->addItem(form::vertical_spacer(20, 50));

    Layout1 = form::nested_layout<QHBoxLayout>("Layout1");
    pb_help = form::named<QPushButton>(this, "pb_help");
    pb_help->setAutoDefault(true);
    Layout1->addWidget(pb_help);
    Layout1->addItem(form::horizontal_spacer());
    buttonOk = form::named<QPushButton>(this, "buttonOk");
    buttonOk->setAutoDefault(true);
    buttonOk->setDefault(true);
    Layout1->addWidget(buttonOk);
    buttonCancel = form::named<QPushButton>(this, "buttonCancel");
    buttonCancel->setAutoDefault(true);
    Layout1->addWidget(buttonCancel);
    DialogOptionsBaseLayout->addLayout(Layout1);

    languageChange();
    form::resize(this, QSize(401, 229));

    connect(buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DialogOptionsBase::languageChange()
{
    setWindowTitle(tr("Options"));
    cb_text_labels->setText(tr("Show text labels on main toolbar buttons"));
    cb_compiler_ok_message->setText(tr("Display message on successful compilation"));
    cb_disable_memory_optimization->setText(tr("Disable memory optimization"));
    cb_disable_splash_window->setText(tr("Don't show splash window"));
    cb_disable_disclaimer_window->setText(tr("Don't show disclaimer window"));
    pb_help->setText(tr("Help"));
    pb_help->setShortcut(QKeySequence(tr("F1")));
    buttonOk->setText(tr("OK"));
    buttonOk->setShortcut(QKeySequence());
    buttonCancel->setText(tr("Cancel"));
    buttonCancel->setShortcut(QKeySequence());
}
