#pragma once
// The parameters dialog of the text log formats belongs to the application
// shell, which sits above this library; the shell installs the factory that
// makes it. A format fills the form's buttons, runs it modally, reads them
// back and deletes it.
class DialogLogToFileAsciiParameters;
class QWidget;

// combined: identifier and data share one format setting.
using AsciiParametersDialogFactory = DialogLogToFileAsciiParameters *(*)(bool combined, QWidget *parent);

void set_ascii_parameters_dialog_factory(AsciiParametersDialogFactory factory);
// The new dialog, or null while no factory is installed.
DialogLogToFileAsciiParameters *make_ascii_parameters_dialog(bool combined, QWidget *parent);
