#pragma once
// The file dialogs and the text input of the main window, behind replaceable
// functions: the program shows the toolkit's dialogs, tests answer from a
// table. Questions go through vyr_ask_question (core/vyr_question.h).
#include <QString>

#include <functional>

class QWidget;

struct VyrFileRequest
{
    bool save = false; // a save dialog, else an open dialog
    QString caption;
    QString start_name;
    QString filter;
    QString object_name;
};

// Answers the chosen file name, or a null text when the dialog was cancelled.
using VyrFileNameFunction = std::function<QString(QWidget *parent, const VyrFileRequest &request)>;
// Answers true and the text when accepted.
using VyrTextInputFunction =
    std::function<bool(QWidget *parent, const QString &caption, const QString &label, QString &text)>;

QString vyr_ask_file_name(QWidget *parent, const VyrFileRequest &request);
bool vyr_ask_text(QWidget *parent, const QString &caption, const QString &label, QString &text);
// An empty function puts the toolkit's dialog back.
void set_vyr_file_name_function(VyrFileNameFunction function);
void set_vyr_text_input_function(VyrTextInputFunction function);
