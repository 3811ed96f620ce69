#include "forms/dialog_trigger_settings_base.h"

#include "core/widgets/form_support.h"

#include <QKeySequence>
#include <QPushButton>
#include <QTabWidget>

DialogTriggerSettingsBase::DialogTriggerSettingsBase(QWidget *parent, const char *name, bool modal,
                                                     Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setModal(modal);
    form::set_object_name(this, name, "DialogTriggerSettingsBase");
    setSizeGripEnabled(true);
    DialogTriggerSettingsBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogTriggerSettingsBaseLayout");

    tab = form::named<QTabWidget>(this, "tab");
    tab_2 = form::named<QWidget>(tab, "tab_2");
    tab->insertTab(0, tab_2, QString());
    DialogTriggerSettingsBaseLayout->addWidget(tab);

    Layout1 = form::nested_layout<QHBoxLayout>("Layout1");
    pb_help = form::named<QPushButton>(this, "pb_help");
    pb_help->setAutoDefault(true);
    Layout1->addWidget(pb_help);
    spacer = form::horizontal_spacer();
    Layout1->addItem(spacer);
    pb_ok = form::named<QPushButton>(this, "pb_ok");
    pb_ok->setAutoDefault(true);
    pb_ok->setDefault(true);
    Layout1->addWidget(pb_ok);
    pb_cancel = form::named<QPushButton>(this, "pb_cancel");
    pb_cancel->setAutoDefault(true);
    Layout1->addWidget(pb_cancel);
    DialogTriggerSettingsBaseLayout->addLayout(Layout1);

    languageChange();
    // Fixed keys, not translated texts.
    pb_help->setShortcut(QKeySequence(Qt::Key_F1));
    pb_ok->setShortcut(QKeySequence());
    pb_cancel->setShortcut(QKeySequence());
    form::resize(this, QSize(645, 442));

    connect(pb_ok, &QPushButton::clicked, this, &DialogTriggerSettingsBase::accept);
    connect(pb_cancel, &QPushButton::clicked, this, &DialogTriggerSettingsBase::reject);
}

void DialogTriggerSettingsBase::languageChange()
{
    setWindowTitle(tr("Trigger Settings"));
    tab->setTabText(tab->indexOf(tab_2), tr("Dummy"));
    pb_help->setText(tr("Help"));
    pb_ok->setText(tr("OK"));
    pb_cancel->setText(tr("Cancel"));
}
