#include "app/vyr_dialog_log_to_file_ascii_parameters.h"

#include "forms/vyr_help_request.h"
#include "windows/logging/ascii_parameters_dialog.h"

#include <QGroupBox>
#include <QPushButton>

VyrDialogLogToFileAsciiParameters::VyrDialogLogToFileAsciiParameters(bool combined, QWidget *parent, const char *name,
                                                                     bool modal, Qt::WindowFlags flags)
    : DialogLogToFileAsciiParameters(parent, name, modal, flags)
{
    connect(pb_help, &QPushButton::clicked, this, &VyrDialogLogToFileAsciiParameters::help_context);
    connect_help_to_main_widget(this);
    if (combined)
        bg_id_format->setTitle(tr("Format of Id and Data"));
}

void VyrDialogLogToFileAsciiParameters::help_context()
{
    emit activate_help_context(QStringLiteral("CanLogAscii"));
}

void install_ascii_parameters_dialog()
{
    set_ascii_parameters_dialog_factory([](bool combined, QWidget *parent) -> DialogLogToFileAsciiParameters * {
        return new VyrDialogLogToFileAsciiParameters(combined, parent, nullptr, true);
    });
}
