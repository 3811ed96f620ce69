#include "core/vyr_question.h"

#include <QPushButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

#include <vector>

namespace {

int ask_with_message_box(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons)
{
    const int last = buttons.size() - 1;
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return last;
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    std::vector<QPushButton *> added;
    for (const QString &button : buttons)
        added.push_back(box.addButton(button, QMessageBox::ActionRole));
    box.exec();
    for (size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == static_cast<QAbstractButton *>(added[i]))
            return int(i);
    return last;
}

VyrQuestionFunction &question_function()
{
    static VyrQuestionFunction function;
    return function;
}

} // namespace

int vyr_ask_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons)
{
    const VyrQuestionFunction &function = question_function();
    return function ? function(parent, title, text, buttons) : ask_with_message_box(parent, title, text, buttons);
}

void set_vyr_question_function(VyrQuestionFunction function)
{
    question_function() = std::move(function);
}
