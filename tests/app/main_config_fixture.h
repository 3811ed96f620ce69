#pragma once
// A main window's surroundings for tests of its configuration and
// workspaces: the program's trigger lists, questions and dialogs answered
// from queues (and recorded), a temporary folder, and the working directory
// and configuration object put back afterwards.
#include "app/shell/vyr_app_state.h"
#include "app/vyr_shell_dialogs.h"
#include "core/vyr_question.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>

namespace vyr_test {

class MainConfigFixture : public ::testing::Test
{
protected:
    struct Question
    {
        QString title;
        QString text;
        QStringList buttons;
    };

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previous_directory = QDir::currentPath();
        VyrTriggerList::set_instance(new VyrTriggerList());
        add_running_trigger(VyrTriggerList::instance());
        VyrTriggerCondList::set_instance(new VyrTriggerCondList());
        set_vyr_question_function(
            [this](QWidget *, const QString &title, const QString &text, const QStringList &buttons, VyrQuestionIcon) {
                questions.push_back({title, text, buttons});
                if (answers.empty())
                    return int(buttons.size()) - 1;
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            });
        set_vyr_file_name_function([this](QWidget *, const VyrFileRequest &request) {
            file_requests.push_back(request);
            if (file_answers.empty())
                return QString();
            const QString answer = file_answers.front();
            file_answers.pop_front();
            return answer;
        });
        set_vyr_text_input_function([this](QWidget *, const QString &, const QString &, QString &text) {
            if (text_answers.empty())
                return false;
            text = text_answers.front();
            text_answers.pop_front();
            return true;
        });
    }

    void TearDown() override
    {
        set_vyr_question_function(nullptr);
        set_vyr_file_name_function(nullptr);
        set_vyr_text_input_function(nullptr);
        replace_configuration(nullptr);
        delete VyrTriggerCondList::instance();
        VyrTriggerCondList::set_instance(nullptr);
        delete VyrTriggerList::instance();
        VyrTriggerList::set_instance(nullptr);
        QDir::setCurrent(previous_directory);
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    static QByteArray read(const QString &file_name)
    {
        QFile file(file_name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void write(const QString &file_name, const QByteArray &text)
    {
        QFile file(file_name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir dir;
    QString previous_directory;
    std::deque<int> answers;
    std::vector<Question> questions;
    std::deque<QString> file_answers;
    std::vector<VyrFileRequest> file_requests;
    std::deque<QString> text_answers;
};

} // namespace vyr_test
