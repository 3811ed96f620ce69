#include "interfaces/widgets/interface_dialog_services.h"

#include "interfaces/can/can_settings_dialog.h"
#include "interfaces/widgets/vyr_dialog_can_bitrate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

namespace {

VyrInterfaceFileChooser &file_chooser()
{
    static VyrInterfaceFileChooser chooser;
    return chooser;
}

VyrProgramStarter &program_starter()
{
    static VyrProgramStarter starter;
    return starter;
}

std::unique_ptr<VyrCanSettingsDialog> make_can_bitrate_dialog(QWidget *parent)
{
    return std::make_unique<VyrDialogCANBitrate>(parent, "CANBitrate", true);
}

} // namespace

QString choose_interface_file(QWidget *parent, const QString &caption, const QString &start, const QString &filter)
{
    if (file_chooser())
        return file_chooser()(parent, caption, start, filter);
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

bool start_program(const QString &program, const QStringList &arguments, const QString &working_directory)
{
    if (program_starter())
        return program_starter()(program, arguments, working_directory);
    if (!QFileInfo(program).isExecutable())
        return false;
    return QProcess::startDetached(program, arguments, working_directory);
}

void set_interface_file_chooser(VyrInterfaceFileChooser chooser)
{
    file_chooser() = std::move(chooser);
}

void set_program_starter(VyrProgramStarter starter)
{
    program_starter() = std::move(starter);
}

void edit_file_in_program(const QString &program_name, const QString &file)
{
    const QString program = QCoreApplication::applicationDirPath() + QLatin1Char('/') + program_name;
    start_program(program, {QFileInfo(file).absoluteFilePath()}, QDir::currentPath());
}

void install_interface_dialogs()
{
    set_can_settings_dialog_factory(&make_can_bitrate_dialog);
}
