// The rows of the panel item type registry, in their fixed order: the order
// of the "Insert New Item" menu and of its entry ids (1 to 26).
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/vyr_panel_item.h"

#include <QWidget>

namespace {

// Stands in for the kinds whose classes follow.
class PlaceholderItem : public VyrPanelItem
{
public:
    explicit PlaceholderItem(QWidget *parent) { set_widget(new QWidget(parent)); }
};

VyrPanelItem *create_placeholder(QWidget *parent, uint32_t)
{
    return new PlaceholderItem(parent);
}

const char *const tacho_properties = "name,geometry,text,font,paletteForegroundColor,enabled,arcStart,arcSize,"
                                     "paintLabels,paintScale,paintLabelsInsideScale,pixmapFile,pixmapHAlign,"
                                     "pixmapVAlign,pictureFile,pictureHScale,pictureVScale";
const char *const bar_properties = "name,geometry,text,font,paletteForegroundColor,enabled,paintLabels,paintScale,";
const char *const line_properties = "name,geometry,paletteForegroundColor,enabled";
const char *const qwt_properties = "name,geometry,font,paletteForegroundColor,enabled";

using Type = PanelItemTypeInfo;

Type push_button("PushButton", create_placeholder, Type::Control,
                 "name,geometry,text,font,paletteForegroundColor,enabled", 0);
Type panel_button("PanelButton", create_placeholder, Type::Control,
                  "name,geometry,text,font,paletteForegroundColor,enabled,activationList", 0);
Type radio_button("RadioButton", create_placeholder, Type::Control,
                  "name,geometry,text,font,paletteForegroundColor,enabled,checked", 0);
Type check_box("CheckBox", create_placeholder, Type::Control,
               "name,geometry,text,font,paletteForegroundColor,enabled,checked", 0);
Type line_edit("LineEdit", create_placeholder, Type::Control,
               "name,geometry,text,font,paletteForegroundColor,enabled,readOnly,numDigits,mode", 0);
Type text_browser("TextBrowser", create_placeholder, Type::Static,
                  "name,geometry,text,font,paletteForegroundColor,enabled", 0);
Type combo_box("ComboBox", create_placeholder, Type::Control, "name,geometry,font,paletteForegroundColor,enabled,items",
               0);
Type tacho("Tacho", create_placeholder, Type::AnalogSignalDisplay, tacho_properties, 0);
Type compass("Compass", create_placeholder, Type::AnalogSignalDisplay,
             "name,geometry,text,font,paletteForegroundColor,enabled,paintLabels,paintScale,pixmapFile,pixmapHAlign,"
             "pixmapVAlign,pictureFile,pictureHScale,pictureVScale",
             0);
Type horizont("Horizont", create_placeholder, Type::AnalogSignalDisplay, tacho_properties, 0);
Type xy_indicator("XY-Indicator", create_placeholder, Type::AnalogSignalDisplay,
                  "name,geometry,text,font,paletteForegroundColor,enabled,paintLabels,paintScale,"
                  "paintLabelsInsideScale,pixmapFile,pixmapHAlign,pixmapVAlign,pictureFile,pictureHScale,"
                  "pictureVScale",
                  0);
Type vertical_bar("Vertical Bar", create_placeholder, Type::AnalogSignalDisplay, bar_properties, 1);
Type horizontal_bar("Horizontal Bar", create_placeholder, Type::AnalogSignalDisplay, bar_properties, 0);
Type lcd_number("LCD Number", create_placeholder, Type::AnalogSignalDisplay,
                "name,geometry,paletteForegroundColor,enabled,numDigits,numDecimals,mode,timeout,timeoutEnabled,"
                "showSignalName",
                0);
Type led_meter("LED Meter", create_placeholder, Type::AnalogSignalDisplay, "name,geometry,paletteForegroundColor,enabled",
               0);
Type led("LED", create_placeholder, Type::AnalogSignalDisplay,
         "name,geometry,enabled,ledColor,ledColor2,inverse,upperLimit,lowerLimit,upperLimitValid,lowerLimitValid", 0);
Type text_label("TextLabel", create_placeholder, Type::Static, "name,geometry,text,font,paletteForegroundColor,enabled",
                0);
Type group_box("GroupBox", create_placeholder, Type::Static, "name,geometry,title,font,paletteForegroundColor,enabled",
               0);
Type horizontal_line("Horizontal Line", create_placeholder, Type::Static, line_properties, 0);
Type vertical_line("Vertical Line", create_placeholder, Type::Static, line_properties, 1);
Type bitmap("Bitmap Graphic", create_placeholder, Type::Static, "name,geometry,pixmapFile,pixmapHAlign,pixmapVAlign", 0);
Type hex_editor("Hex Editor", create_placeholder, Type::Data, "name,geometry,paletteForegroundColor,enabled", 0);
Type horizontal_slider("Horizontal Slider", create_placeholder, Type::AnalogSignalControl, qwt_properties, 0);
Type vertical_slider("Vertical Slider", create_placeholder, Type::AnalogSignalControl, qwt_properties, 1);
Type dial("Dial", create_placeholder, Type::AnalogSignalControl, qwt_properties, 0);
Type thermo("Thermo", create_placeholder, Type::AnalogSignalDisplay, qwt_properties, 0);

} // namespace
