#pragma once
// What the settings dialogs of the interfaces ask of the world around them,
// behind replaceable functions: the file chooser (the toolkit's open-file
// dialog until the program has its own) and the start of an outside
// program (the editors of script and description files). Tests answer
// from a table and record the starts.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The chosen file, or an empty text when the user cancelled.
using VyrInterfaceFileChooser =
    std::function<QString(QWidget *parent, const QString &caption, const QString &start, const QString &filter)>;
// Starts the program detached with the arguments in the working directory;
// false when it could not be started.
using VyrProgramStarter =
    std::function<bool(const QString &program, const QStringList &arguments, const QString &working_directory)>;

QString choose_interface_file(QWidget *parent, const QString &caption, const QString &start, const QString &filter);
bool start_program(const QString &program, const QStringList &arguments, const QString &working_directory);
// An empty function puts the default back.
void set_interface_file_chooser(VyrInterfaceFileChooser chooser);
void set_program_starter(VyrProgramStarter starter);

// Opens the file in an editor of the program directory ("dax" for scripts,
// "quillan" for description files) with its absolute path, from the current
// directory; nothing happens when the editor is absent.
void edit_file_in_program(const QString &program_name, const QString &file);

// Gives the interfaces their settings dialogs (the CAN interface's); the
// program calls it once at start-up.
void install_interface_dialogs();
