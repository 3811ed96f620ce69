#pragma once
// The panel file: a UI 3.0-style XML text holding a panel's items with their
// persistent widget properties, activation lists and signal bindings. The
// configuration section of a panel without file uses the same value types.
#include <QString>
#include <QVariant>

#include <memory>
#include <string>
#include <vector>

class QWidget;
class VyrPanel;
class VyrPanelItem;

// How a persistent widget property is stored.
enum class PanelValueType { None, String, Rect, Color, Font, StringList, Double, Int, UInt, Bool, CString };

// The stored type of the widget's property; None for a type without written form.
PanelValueType panel_value_type(const QVariant &value);
// The stored type's name as a panel file and a configuration write it ("QColor", "int", ...).
const char *panel_value_type_name(PanelValueType type);
// False for a foreground colour the widget does not set itself and for a
// font it does not set itself: those follow the panel and are not stored.
bool panel_property_is_stored(const QWidget *widget, const QString &name, const QVariant &value);

// The whole panel file ("\n" line ends, C-locale numbers).
std::string panel_file_text(const VyrPanel &panel);

// Reads one panel file for one panel. The items are made on the panel's
// viewport but kept apart: they join the panel only when the whole file was
// read, so a refused file leaves the panel as it was. Elements the reader
// does not know are skipped with their contents; one it knows in a place
// where it does not belong (an item inside an action list, a value outside a
// property) refuses the file like an XML error.
class PanelFileReader
{
public:
    explicit PanelFileReader(VyrPanel *panel);
    ~PanelFileReader();

    // False with error() set (file, line and column) for an XML error, an
    // element out of place or a root other than "UI".
    bool parse(const QByteArray &data, const QString &file_name);
    const QString &error() const { return m_error; }
    // The items read; empty after a failed parse.
    std::vector<std::unique_ptr<VyrPanelItem>> take_items();

private:
    class Descent;

    VyrPanel *m_panel;
    std::vector<std::unique_ptr<VyrPanelItem>> m_items;
    QString m_error;
};
