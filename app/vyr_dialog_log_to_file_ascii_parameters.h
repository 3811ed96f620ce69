#pragma once
// The parameters dialog of the text log formats. The log format that opens
// it sets and reads the form's buttons itself around a modal run. The format
// that writes identifier and data in one setting opens it combined: its
// identifier group is then titled "Format of Id and Data".
#include "forms/dialog_log_to_file_ascii_parameters.h"

class VyrDialogLogToFileAsciiParameters : public DialogLogToFileAsciiParameters
{
    Q_OBJECT

public:
    explicit VyrDialogLogToFileAsciiParameters(bool combined, QWidget *parent = nullptr, const char *name = nullptr,
                                               bool modal = false, Qt::WindowFlags flags = {});

public slots:
    void help_context();

signals:
    void activate_help_context(const QString &key);
};

// Lets the log formats open this dialog (they sit below the shell).
void install_ascii_parameters_dialog();
