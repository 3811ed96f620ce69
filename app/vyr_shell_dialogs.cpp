#include "app/vyr_shell_dialogs.h"

#include "core/widgets/vyr_message_box_question.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

namespace {

VyrFileNameFunction &file_name_function()
{
    static VyrFileNameFunction function;
    return function;
}

VyrTextInputFunction &text_input_function()
{
    static VyrTextInputFunction function;
    return function;
}

} // namespace

QString vyr_ask_file_name(QWidget *parent, const VyrFileRequest &request)
{
    if (file_name_function())
        return file_name_function()(parent, request);
    QFileDialog dialog(parent, request.caption, request.start_name, request.filter);
    dialog.setObjectName(request.object_name);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The overwrite question is the program's own.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.save)
        dialog.setFileMode(QFileDialog::ExistingFile);
    const VyrOpenQuestion open(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool vyr_ask_text(QWidget *parent, const QString &caption, const QString &label, QString &text)
{
    if (text_input_function())
        return text_input_function()(parent, caption, label, text);
    bool accepted = false;
    const QString answer = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, text, &accepted);
    if (accepted)
        text = answer;
    return accepted;
}

void set_vyr_file_name_function(VyrFileNameFunction function)
{
    file_name_function() = std::move(function);
}

void set_vyr_text_input_function(VyrTextInputFunction function)
{
    text_input_function() = std::move(function);
}
