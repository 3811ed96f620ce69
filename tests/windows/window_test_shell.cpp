#include "window_test_shell.h"

#include "settings/qtb_config.h"

namespace vyr_test {

WindowTestShell::WindowTestShell()
{
    setObjectName(QStringLiteral("test_shell"));
    workspace = new QMdiArea(this);
    workspace->setObjectName(QStringLiteral("workspace_0"));
    setCentralWidget(workspace);
    resize(1000, 700);
    set_shell_services(this);
}

WindowTestShell::~WindowTestShell()
{
    set_shell_services(nullptr);
}

TestWindow::TestWindow(QWidget *parent, const char *key, bool logs) : VyrDataWindow(key, parent)
{
    set_help_key(QStringLiteral("TestWindow"));
    if (logs)
        enable_log_to_file_button();
    create_standard_tool_buttons();
}

namespace {

template <const char *Key> VyrDataWindow *make_window(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new TestWindow(parent, Key);
    window->read_base_configuration(group);
    return window;
}

const char x_key[] = "X";
const char single_key[] = "XSingle";

} // namespace

TestWindowTypes::TestWindowTypes()
    : x("X", "X", "Test Window", "A window for tests", 99, nullptr, 0, make_window<x_key>),
      single("XSingle", "XSingle", "Single Test Window", "One at a time", 98, nullptr,
             DataWindowTypeInfo::SingleInstance, make_window<single_key>)
{}

} // namespace vyr_test
