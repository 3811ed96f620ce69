#pragma once
// A data-window type of the tests, registered while its object lives: a
// window that keeps one note of its own in its configuration group and can
// be told to refuse closing.
#include "settings/qtb_config.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/vyr_data_window.h"

#include <QString>

namespace vyr_test {

class TestWindow : public VyrDataWindow
{
public:
    TestWindow(const char *class_key, QWidget *parent) : VyrDataWindow(class_key, parent) {}

    void state_changed() override {}
    void update_signals() override {}
    bool query_close() override
    {
        ++close_questions;
        return allow_close;
    }
    void write_configuration(QtbConfig *config) override
    {
        write_base_configuration(config)->write_string_utf8("note", note);
    }

    QString note;
    bool allow_close = true;
    int close_questions = 0;
};

template <const char *ClassKey> VyrDataWindow *create_test_window(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new TestWindow(ClassKey, parent);
    if (group) {
        window->read_base_configuration(group);
        window->note = group->read_string_utf8("note", QString());
    }
    return window;
}

inline constexpr char test_window_key[] = "TestWindow";

// Registers the type "TestWindow" with the flags for as long as it lives.
class TestWindowType
{
public:
    explicit TestWindowType(unsigned flags = 0)
        : type(test_window_key, "Test", "Test Window", "A window of the tests", 0, nullptr, flags,
               create_test_window<test_window_key>)
    {}
    DataWindowTypeInfo type;
};

} // namespace vyr_test
