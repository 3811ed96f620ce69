#include "core/vyr_question.h"

#include <mutex>

namespace {

std::mutex &question_mutex()
{
    static std::mutex mutex;
    return mutex;
}

VyrQuestionFunction &question_function()
{
    static VyrQuestionFunction function;
    return function;
}

} // namespace

int vyr_ask_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
                     VyrQuestionIcon icon)
{
    VyrQuestionFunction function;
    {
        std::lock_guard<std::mutex> lock(question_mutex());
        function = question_function();
    }
    return function ? function(parent, title, text, buttons, icon) : int(buttons.size()) - 1;
}

void set_vyr_question_function(VyrQuestionFunction function)
{
    std::lock_guard<std::mutex> lock(question_mutex());
    question_function() = std::move(function);
}
