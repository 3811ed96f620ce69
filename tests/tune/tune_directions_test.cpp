// The tune window by the direction of a signal: outputs and in/out signals
// are edited and committed, an input is neither, even when a value for it
// reaches the view.
#include "../windows/window_test_shell.h"
#include "core/vyr_signal_list.h"
#include "windows/tune/vyr_signal_view.h"
#include "windows/tune/vyr_tune.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

class TuneDirections : public ::testing::Test
{
protected:
    TuneDirections()
    {
        for (const auto &[name, direction] : {std::pair{"Out", SignalRecord::Output},
                                              std::pair{"Both", SignalRecord::InputOutput},
                                              std::pair{"In", SignalRecord::Input}}) {
            auto *signal = new SignalRecord;
            signal->set_name(name);
            signal->set_direction(direction);
            signal->set_value_type(SignalValue::Int);
            signal->add_flags(SignalRecord::DefinedByCompile);
            signal->set_owner(&interface);
            interface.signal_list()->insert(signal);
        }
        tune.reset(static_cast<VyrTune *>(VyrTune::create(shell.workspace, nullptr)));
        for (const char *name : {"Out", "Both", "In"})
            tune->insert_signal(QString::fromStdString(interface.make_id()), QString::fromLatin1(name));
    }

    vyr_test::WindowTestShell shell;
    vyr_test::TestInterface interface{"TUNE"};
    std::unique_ptr<VyrTune> tune;
};

TEST_F(TuneDirections, OutputsAndInOutSignalsAreEditedAndCommittedInputsNot)
{
    VyrSignalView *view = tune->view();
    const struct
    {
        const char *name;
        bool field_enabled;
        int after_commit;
    } cases[] = {{"Out", true, 42}, {"Both", true, 42}, {"In", false, 0}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_EQ(QString::fromLatin1(view->item(i)->signal()->name()), cases[i].name);
        view->display_list()->set_cursor(view->item(i));
        EXPECT_EQ(tune->edit_field()->isEnabled(), cases[i].field_enabled);
        view->value_changed(QStringLiteral("42"));
    }
    tune->startup();
    view->update_outputs();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(view->item(i)->current_value().int_value, cases[i].after_commit);
    }
    tune->stop();
}

} // namespace
