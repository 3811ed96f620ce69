// The rows of the panel item type registry, in their fixed order: the order
// of the "Insert New Item" menu and of its entry ids (1 to 26).
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_item_kinds.h"
#include "windows/panel/panel_qwt_items.h"

namespace {

const char *const tacho_properties = "name,geometry,text,font,paletteForegroundColor,enabled,arcStart,arcSize,"
                                     "paintLabels,paintScale,paintLabelsInsideScale,pixmapFile,pixmapHAlign,"
                                     "pixmapVAlign,pictureFile,pictureHScale,pictureVScale";
const char *const bar_properties = "name,geometry,text,font,paletteForegroundColor,enabled,paintLabels,paintScale,";
const char *const line_properties = "name,geometry,paletteForegroundColor,enabled";
const char *const qwt_properties = "name,geometry,font,paletteForegroundColor,enabled";

using Type = PanelItemTypeInfo;

Type push_button("PushButton", VyrPanelItemPushButton::create, Type::Control,
                 "name,geometry,text,font,paletteForegroundColor,enabled", 0);
Type panel_button("PanelButton", VyrPanelItemPanelButton::create, Type::Control,
                  "name,geometry,text,font,paletteForegroundColor,enabled,activationList", 0);
Type radio_button("RadioButton", VyrPanelItemRadioButton::create, Type::Control,
                  "name,geometry,text,font,paletteForegroundColor,enabled,checked", 0);
Type check_box("CheckBox", VyrPanelItemCheckBox::create, Type::Control,
               "name,geometry,text,font,paletteForegroundColor,enabled,checked", 0);
Type line_edit("LineEdit", VyrPanelItemLineEdit::create, Type::Control,
               "name,geometry,text,font,paletteForegroundColor,enabled,readOnly,numDigits,mode", 0);
Type text_browser("TextBrowser", VyrPanelItemTextBrowser::create, Type::Static,
                  "name,geometry,text,font,paletteForegroundColor,enabled", 0);
Type combo_box("ComboBox", VyrPanelItemComboBox::create, Type::Control, "name,geometry,font,paletteForegroundColor,enabled,items",
               0);
Type tacho("Tacho", VyrPanelItemTacho::create, Type::AnalogSignalDisplay, tacho_properties, 0);
Type compass("Compass", VyrPanelItemCompass::create, Type::AnalogSignalDisplay,
             "name,geometry,text,font,paletteForegroundColor,enabled,paintLabels,paintScale,pixmapFile,pixmapHAlign,"
             "pixmapVAlign,pictureFile,pictureHScale,pictureVScale",
             0);
Type horizont("Horizont", VyrPanelItemHorizont::create, Type::AnalogSignalDisplay, tacho_properties, 0);
Type xy_indicator("XY-Indicator", VyrPanelItemXyIndicator::create, Type::AnalogSignalDisplay,
                  "name,geometry,text,font,paletteForegroundColor,enabled,paintLabels,paintScale,"
                  "paintLabelsInsideScale,pixmapFile,pixmapHAlign,pixmapVAlign,pictureFile,pictureHScale,"
                  "pictureVScale",
                  0);
Type vertical_bar("Vertical Bar", VyrPanelItemBar::create, Type::AnalogSignalDisplay, bar_properties, 1);
Type horizontal_bar("Horizontal Bar", VyrPanelItemBar::create, Type::AnalogSignalDisplay, bar_properties, 0);
Type lcd_number("LCD Number", VyrPanelItemLcdNumber::create, Type::AnalogSignalDisplay,
                "name,geometry,paletteForegroundColor,enabled,numDigits,numDecimals,mode,timeout,timeoutEnabled,"
                "showSignalName",
                0);
Type led_meter("LED Meter", VyrPanelItemLedMeter::create, Type::AnalogSignalDisplay, "name,geometry,paletteForegroundColor,enabled",
               0);
Type led("LED", VyrPanelItemLed::create, Type::AnalogSignalDisplay,
         "name,geometry,enabled,ledColor,ledColor2,inverse,upperLimit,lowerLimit,upperLimitValid,lowerLimitValid", 0);
Type text_label("TextLabel", VyrPanelItemTextLabel::create, Type::Static, "name,geometry,text,font,paletteForegroundColor,enabled",
                0);
Type group_box("GroupBox", VyrPanelItemGroupBox::create, Type::Static, "name,geometry,title,font,paletteForegroundColor,enabled",
               0);
Type horizontal_line("Horizontal Line", VyrPanelItemLine::create, Type::Static, line_properties, 0);
Type vertical_line("Vertical Line", VyrPanelItemLine::create, Type::Static, line_properties, 1);
Type bitmap("Bitmap Graphic", VyrPanelItemBitmap::create, Type::Static, "name,geometry,pixmapFile,pixmapHAlign,pixmapVAlign", 0);
Type hex_editor("Hex Editor", VyrPanelItemHexEdit::create, Type::Data, "name,geometry,paletteForegroundColor,enabled", 0);
Type horizontal_slider("Horizontal Slider", VyrQwtPanelItemSlider::create, Type::AnalogSignalControl, qwt_properties, 0);
Type vertical_slider("Vertical Slider", VyrQwtPanelItemSlider::create, Type::AnalogSignalControl, qwt_properties, 1);
Type dial("Dial", VyrQwtPanelItemDial::create, Type::AnalogSignalControl, qwt_properties, 0);
Type thermo("Thermo", VyrQwtPanelItemThermo::create, Type::AnalogSignalDisplay, qwt_properties, 0);

} // namespace
