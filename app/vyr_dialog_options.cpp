#include "app/vyr_dialog_options.h"

#include "forms/vyr_help_request.h"

#include <QCheckBox>
#include <QPushButton>

VyrDialogOptions::VyrDialogOptions(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : DialogOptionsBase(parent, name, modal, flags)
{
    connect(pb_help, &QPushButton::clicked, this, &VyrDialogOptions::help_context);
    connect_help_to_main_widget(this);
}

void VyrDialogOptions::set_text_labels(bool on)
{
    cb_text_labels->setChecked(on);
}
bool VyrDialogOptions::text_labels() const
{
    return cb_text_labels->isChecked();
}
void VyrDialogOptions::set_compiler_ok_message(bool on)
{
    cb_compiler_ok_message->setChecked(on);
}
bool VyrDialogOptions::compiler_ok_message() const
{
    return cb_compiler_ok_message->isChecked();
}
void VyrDialogOptions::set_disable_memory_optimization(bool on)
{
    cb_disable_memory_optimization->setChecked(on);
}
bool VyrDialogOptions::disable_memory_optimization() const
{
    return cb_disable_memory_optimization->isChecked();
}
void VyrDialogOptions::set_disable_splash_window(bool on)
{
    cb_disable_splash_window->setChecked(on);
}
bool VyrDialogOptions::disable_splash_window() const
{
    return cb_disable_splash_window->isChecked();
}
void VyrDialogOptions::set_disable_disclaimer_window(bool on)
{
    cb_disable_disclaimer_window->setChecked(on);
}
bool VyrDialogOptions::disable_disclaimer_window() const
{
    return cb_disable_disclaimer_window->isChecked();
}

void VyrDialogOptions::help_context()
{
    emit activate_help_context(QStringLiteral("OptionsDialog"));
}
