// The acceptance filter that the CAN settings dialog sets, on the vrbus
// daemon: a frame outside it is dropped, one inside arrives.
#include "can_test_support.h"
#include "interfaces/widgets/interface_dialog_services.h"
#include "interfaces/widgets/vyr_dialog_can_bitrate.h"
#include "tests/app/form_test_support.h"

#include <QCheckBox>
#include <QInputDialog>
#include <QPushButton>
#include <QRadioButton>

namespace {

using namespace can_test;

class CanSettingsOnBus : public CanFixture
{};

} // namespace

TEST_F(CanSettingsOnBus, TheFilterChosenInTheDialogPassesOnlyItsIdentifiers)
{
    install_interface_dialogs();
    VyrCanIf *can = make("CAN");
    form_test::when_modal([](QWidget *modal) {
        auto *dialog = qobject_cast<VyrDialogCANBitrate *>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->cb_can_channel->currentText(), QString(virtual_channel));
        if (!dialog->cb_activate->isChecked())
            dialog->cb_activate->click();
        dialog->rb_500kb->click();
        dialog->cb_std_block_all->click();
        // Only 0x123, then 0x124 as well: 0x120 to 0x127 pass.
        for (int id : {0x123, 0x124}) {
            form_test::when_modal([id](QWidget *input) {
                qobject_cast<QInputDialog *>(input)->setIntValue(id);
                qobject_cast<QInputDialog *>(input)->accept();
            });
            dialog->pb_std_extend->click();
        }
        dialog->pb_ok->click();
    });
    ASSERT_TRUE(can->configure(nullptr));
    EXPECT_EQ(can->filter_std().code, 0x120u);
    EXPECT_EQ(can->filter_std().mask, 0x7F8u);

    VyrMessageQueue queue(0, 64, 1000);
    can->add_message_listener(&queue);
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    BusNode node;
    for (uint32_t id : {0x100u, 0x127u, 0x128u, 0x120u})
        node.send(id, 0, {uint8_t(id)});
    std::vector<uint32_t> seen;
    EXPECT_TRUE(eventually([&] {
        VyrCanMessage frame;
        while (queue.get(frame) == 0)
            seen.push_back(frame.id);
        return seen.size() >= 2;
    }));
    // The last frame has arrived: nothing filtered out is still on its way.
    EXPECT_EQ(seen, std::vector<uint32_t>({0x127, 0x120}));
    can->remove_message_listener(&queue);
}
