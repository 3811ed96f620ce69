// A panel driven by an interface's script on the vrbus daemon: the script
// finds the panel's items by name when it starts, copies each frame of the
// test's bus node into a hex edit and a line edit, and sends a slider's
// position in a frame of its own on a timer. The widgets show what the
// script set after the panel's next tick; a moved slider changes the frames.
#include "../interfaces/can_test_support.h"
#include "core/memory_region.h"
#include "script/vyr_script_runtime.h"
#include "windows/panel/panel_item_kinds.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"

#include <qwt_slider.h>

#include <cstring>

namespace {

using namespace can_test;

constexpr uint32_t copied_frame = 0x123;
constexpr uint32_t slider_frame = 0x124;

const char *const script = R"(variables
{
  int hex_id; int edit_id; int slider_id;
  timer send_timer;
  char text[64];
  CanMessage out;
}
on start
{
  hex_id = panelItemGetIdByName ("Hex");
  edit_id = panelItemGetIdByName ("Edit");
  slider_id = panelItemGetIdByName ("Slider");
  out.id = 0x124;
  out.dlc = 4;
  send_timer.timeout = 20;
  timerStart (send_timer);
}
on CanMessage 0x123
{
  panelItemSetValueData (hex_id, this.data, this.dlc);
  sprintf (text, "%02x %02x %02x", this.data[0], this.data[1], this.data[2]);
  panelItemSetText (edit_id, text);
}
on timer send_timer
{
  int v;
  v = panelItemGetValueDouble (slider_id) * 10;
  out.data[0] = v & 0xFF;
  out.data[1] = (v >> 8) & 0xFF;
  out.data[2] = slider_id > 0;
  canSendMessage (out);
  timerStart (send_timer);
}
)";

class PanelScriptOnTheBus : public CanFixture
{
protected:
    VyrCanIf *make_interface()
    {
        VyrCanIf *can = make("CAN");
        set_script(can, script);
        EXPECT_EQ(can->sclib_init(), 0);
        return can;
    }

    VyrPanelItem *add(const char *type_name, const char *name)
    {
        VyrPanelItem *item = panel.insert_new_item(QString::fromLatin1(type_name));
        EXPECT_NE(item, nullptr) << type_name;
        item->widget()->setObjectName(QString::fromLatin1(name));
        item->widget()->show();
        return item;
    }

    // The slider's position in tenths, from the next frame of the script's timer.
    double next_slider_frame(BusNode &node)
    {
        VyrCanMessage frame;
        if (!node.receive(slider_frame, frame)) {
            ADD_FAILURE() << "no frame of the timer";
            return -1.0;
        }
        EXPECT_EQ(frame.data[2], 1) << "the script found no slider";
        return (frame.data[0] | frame.data[1] << 8) / 10.0;
    }

    VyrPanel panel{nullptr};
};

TEST_F(PanelScriptOnTheBus, ScriptFillsWidgetsFromFramesAndSendsTheSlider)
{
    VyrCanIf *can = make_interface();
    VyrPanelItem *hex = add("Hex Editor", "Hex");
    VyrPanelItem *edit_item = add("LineEdit", "Edit");
    VyrPanelItem *slider_item = add("Horizontal Slider", "Slider");
    auto *edit = static_cast<QLineEdit *>(edit_item->widget());
    auto *slider = static_cast<QwtSlider *>(slider_item->widget());
    panel.resize(600, 400);
    panel.show();
    panel.startup(); // puts the slider to its start value, 0
    slider->setValue(12.0);

    BusNode node;
    Measurement measurement({can}, true);
    // The script's timer is armed on the measurement's wheel: it goes before
    // the wheel, once the interface stopped.
    struct DropTimers {
        Measurement &measurement;
        VyrCanIf *can;
        ~DropTimers()
        {
            measurement.stop();
            VyrScriptRuntime::of(can)->remove_script_triggers(~0u);
        }
    } drop_timers{measurement, can};
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_EQ(next_slider_frame(node), 12.0);

    const std::vector<uint8_t> payload = {0x11, 0x22, 0xab, 0x44, 0x55, 0x66};
    const QString before = edit->text();
    node.send(copied_frame, 0, payload);
    char text[64];
    ASSERT_TRUE(eventually([&] {
        return edit_item->get_property_value_string(0, text, sizeof text) > 0 && std::strcmp(text, "11 22 ab") == 0;
    }));
    // Set by the script, shown at the tick.
    EXPECT_EQ(edit->text(), before);
    panel.update_signals();
    EXPECT_EQ(edit->text(), "11 22 ab");
    const auto *page = static_cast<VyrPanelItemHexEdit *>(hex)->page();
    EXPECT_EQ(std::vector<uint8_t>(page->data(), page->data() + payload.size() + 1),
              std::vector<uint8_t>({0x11, 0x22, 0xab, 0x44, 0x55, 0x66, 0x00}));

    // Frames sent before the move carry 12, those after it 37.5.
    slider->setValue(37.5);
    double sent = 12.0;
    for (int frames = 0; sent == 12.0 && frames < 100; ++frames)
        sent = next_slider_frame(node);
    EXPECT_EQ(sent, 37.5);
    EXPECT_EQ(next_slider_frame(node), 37.5);
    panel.stop();
}

} // namespace
