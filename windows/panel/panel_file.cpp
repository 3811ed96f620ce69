#include "windows/panel/panel_file.h"

#include "settings/qtb_config.h"
#include "settings/text_util.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_panel_window.h"
#include "windows/panel/vyr_script_activation.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <QXmlStreamReader>

PanelValueType panel_value_type(const QVariant &value)
{
    switch (int(value.type())) {
    case QVariant::String:
        return PanelValueType::String;
    case QVariant::Rect:
        return PanelValueType::Rect;
    case QVariant::Color:
        return PanelValueType::Color;
    case QVariant::Font:
        return PanelValueType::Font;
    case QVariant::StringList:
        return PanelValueType::StringList;
    case QVariant::Double:
        return PanelValueType::Double;
    case QVariant::Int:
        return PanelValueType::Int;
    case QVariant::UInt:
        return PanelValueType::UInt;
    case QVariant::Bool:
        return PanelValueType::Bool;
    case QVariant::ByteArray:
        return PanelValueType::CString;
    default:
        return PanelValueType::None;
    }
}

const char *panel_value_type_name(PanelValueType type)
{
    switch (type) {
    case PanelValueType::String:
        return "string";
    case PanelValueType::Rect:
        return "rect";
    case PanelValueType::Color:
        return "QColor";
    case PanelValueType::Font:
        return "QFont";
    case PanelValueType::StringList:
        return "QStringList";
    case PanelValueType::Double:
        return "double";
    case PanelValueType::Int:
        return "int";
    case PanelValueType::UInt:
        return "uint";
    case PanelValueType::Bool:
        return "bool";
    case PanelValueType::CString:
        return "cstring";
    case PanelValueType::None:
        break;
    }
    return "";
}

bool panel_property_is_stored(const QWidget *widget, const QString &name, const QVariant &value)
{
    if (name == QLatin1String("paletteForegroundColor") && value.type() == QVariant::Color)
        return widget->testAttribute(Qt::WA_SetPalette);
    if (value.type() == QVariant::Font)
        return widget->testAttribute(Qt::WA_SetFont);
    return true;
}

namespace {

// Builds the file text line by line.
class Writer
{
public:
    void line(int indent, const std::string &text)
    {
        m_text.append(size_t(indent), ' ');
        m_text += text;
        m_text += '\n';
    }
    std::string take() { return std::move(m_text); }

private:
    std::string m_text;
};

std::string escaped(const QByteArray &bytes)
{
    return xml_escaped(bytes.constData());
}
std::string escaped_latin1(const QString &text)
{
    return escaped(text.toLatin1());
}
std::string element(const char *tag, const std::string &content)
{
    return std::string("<") + tag + ">" + content + "</" + tag + ">";
}
std::string number(double value)
{
    return QByteArray::number(value, 'g', 6).toStdString();
}
std::string truth(bool value)
{
    return value ? "true" : "false";
}

void write_value(Writer &out, PanelValueType type, const QVariant &value)
{
    switch (type) {
    case PanelValueType::String:
        out.line(8, element("string", escaped_latin1(value.toString())));
        out.line(8, element("string_utf8", escaped(value.toString().toUtf8())));
        break;
    case PanelValueType::Rect: {
        const QRect rect = value.toRect();
        out.line(8, "<rect>");
        out.line(10, element("x", std::to_string(rect.x())));
        out.line(10, element("y", std::to_string(rect.y())));
        out.line(10, element("width", std::to_string(rect.width())));
        out.line(10, element("height", std::to_string(rect.height())));
        out.line(8, "</rect>");
        break;
    }
    case PanelValueType::Color:
        out.line(8, element("QColor", escaped_latin1(value.value<QColor>().name())));
        break;
    case PanelValueType::Font:
        out.line(8, element("QFont", escaped_latin1(value.value<QFont>().toString())));
        break;
    case PanelValueType::StringList:
        out.line(8, "<QStringList>");
        for (const QString &entry : value.toStringList())
            out.line(10, element("se", escaped_latin1(entry)));
        out.line(8, "</QStringList>");
        break;
    case PanelValueType::Double:
        out.line(8, element("double", number(value.toDouble())));
        break;
    case PanelValueType::Int:
        out.line(8, element("int", std::to_string(value.toInt())));
        break;
    case PanelValueType::UInt:
        out.line(8, element("uint", std::to_string(value.toUInt())));
        break;
    case PanelValueType::Bool:
        out.line(8, element("bool", truth(value.toBool())));
        break;
    case PanelValueType::CString:
        out.line(8, element("cstring", escaped(value.toByteArray())));
        break;
    case PanelValueType::None:
        break;
    }
}

// Interface, signal and action names: 8-bit text, as the reader takes a "string".
void write_string_property(Writer &out, int indent, const char *name, const QString &value)
{
    out.line(indent, std::string("<property name=\"") + name + "\">");
    out.line(indent + 2, element("string", escaped_latin1(value)));
    out.line(indent, "</property>");
}

void write_item(Writer &out, const VyrPanelItem &item)
{
    QWidget *widget = item.widget();
    const PanelItemTypeInfo *type = item.type_info();
    out.line(4, "<widget class=\"" + escaped(widget ? QByteArray(widget->metaObject()->className()) : QByteArray()) +
                    "\" vyr-class=\"" + escaped(type ? type->name().toUtf8() : QByteArray()) + "\">");
    if (widget && type) {
        for (const QString &name : type->property_names()) {
            const QByteArray key = name.toLatin1();
            const QVariant value = panel_properties::read(widget, key.constData());
            if (!panel_property_is_stored(widget, name, value))
                continue;
            out.line(6, "<property name=\"" + escaped(key) + "\">");
            write_value(out, panel_value_type(value), value);
            out.line(6, "</property>");
        }
    }
    if (const VyrScriptActivationGroup *group = item.activation_group()) {
        out.line(4, "<actions>");
        for (const auto &list : group->lists()) {
            out.line(6, "<action_list name=\"" + escaped(list->name().toUtf8()) + "\">");
            for (const auto &entry : list->entries()) {
                out.line(8, "<action_entry>");
                write_string_property(out, 10, "sif", entry->interface_id());
                write_string_property(out, 10, "aname", entry->action_name());
                out.line(8, "</action_entry>");
            }
            out.line(6, "</action_list>");
        }
        out.line(4, "</actions>");
    }
    int index = 0;
    for (const auto &binding : item.bindings()) {
        out.line(4, "<signal index=\"" + std::to_string(index++) + "\">");
        write_string_property(out, 6, "sif", binding->interface_id());
        write_string_property(out, 6, "sname", binding->signal_name());
        const auto write_property = [&out](const char *name, const std::string &value_element) {
            out.line(6, std::string("<property name=\"") + name + "\">");
            out.line(8, value_element);
            out.line(6, "</property>");
        };
        write_property("override_range", element("bool", truth(binding->override_range)));
        write_property("override_range_min", element("double", number(binding->range_minimum)));
        write_property("override_range_max", element("double", number(binding->range_maximum)));
        write_property("default_value_valid", element("bool", truth(binding->default_value_valid)));
        write_property("default_value", element("double", number(binding->default_value)));
        write_property("active_value", element("double", number(binding->active_value)));
        write_property("inactive_value", element("double", number(binding->inactive_value)));
        out.line(4, "</signal>");
    }
    out.line(4, "</widget>");
}

} // namespace

std::string panel_file_text(const VyrPanel &panel)
{
    Writer out;
    const std::string caption = escaped_latin1(panel.caption());
    const VyrPanelWindow *surface = panel.panel_window();
    out.line(0, "<!DOCTYPE UI><UI version=\"3.0\" stdsetdef=\"1\">");
    out.line(2, element("class", caption));
    out.line(2, "<widget class=\"QWidget\">");
    out.line(4, "<property name=\"name\">");
    out.line(8, element("cstring", escaped(surface->objectName().toUtf8())));
    out.line(4, "</property>");
    out.line(4, "<property name=\"geometry\">");
    out.line(8, "<rect>");
    out.line(12, "<x>0</x>");
    out.line(12, "<y>0</y>");
    out.line(12, element("width", std::to_string(surface->contents_size().width())));
    out.line(12, element("height", std::to_string(surface->contents_size().height())));
    out.line(8, "</rect>");
    out.line(4, "</property>");
    out.line(4, "<property name=\"caption\">");
    out.line(8, element("string", caption));
    out.line(4, "</property>");
    for (const auto &item : panel.items())
        write_item(out, *item);
    out.line(2, "</widget>");
    out.line(0, "<layoutdefaults spacing=\"6\" margin=\"11\"/>");
    out.line(0, "</UI>");
    return out.take();
}

// --- Reading ----------------------------------------------------------------------------------

namespace {

// A property's value as its last value element gave it; no type when it had none.
struct PropertyValue
{
    QString type;
    QVariant value;

    bool is_string() const { return type == QLatin1String("string") || type == QLatin1String("string_utf8"); }
};

// The value elements of a property; "uint" is written but not read back.
const std::initializer_list<const char *> value_types = {"rect",     "string",      "string_utf8", "cstring",
                                                         "QCString", "QStringList", "QColor",      "QFont",
                                                         "double",   "int",         "bool",        "uint"};
// The other elements the reader knows; each belongs in one place of the file.
const std::initializer_list<const char *> structure_elements = {
    "UI", "class", "layoutdefaults", "widget", "property", "actions", "action_list", "action_entry", "signal",
    "x",  "y",     "width",          "height", "se"};

bool is_known_element(const QStringRef &name)
{
    for (const auto &names : {value_types, structure_elements})
        for (const char *known : names)
            if (name == QLatin1String(known))
                return true;
    return false;
}

// The element's characters taken as bytes, as the writer wrote each byte as
// one character; characters above 0xFF (typed into the file by hand) give
// their UTF-8 bytes.
QByteArray element_bytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (int i = 0; i < text.size();) {
        if (text[i].unicode() <= 0xff) {
            bytes.append(char(text[i++].unicode()));
            continue;
        }
        const int from = i;
        while (i < text.size() && text[i].unicode() > 0xff)
            ++i;
        bytes.append(text.mid(from, i - from).toUtf8());
    }
    return bytes;
}

} // namespace

// Reads the file's elements by descent: each function stands on the start
// tag of its element and reads up to its end tag.
class PanelFileReader::Descent
{
public:
    Descent(QXmlStreamReader &xml, VyrPanel *panel, std::vector<std::unique_ptr<VyrPanelItem>> &items)
        : m_xml(xml), m_panel(panel), m_items(items)
    {}

    void root()
    {
        while (next_child("UI", {"class", "widget", "layoutdefaults"})) {
            if (at("widget"))
                form();
            else
                text(); // the caption is not read back
        }
    }

private:
    // Moves to the next child element that the element may hold: true on its
    // start tag, false at the element's end tag or an error. Unknown children
    // are skipped whole; a known one that does not belong here is an error.
    bool next_child(const char *element, std::initializer_list<const char *> allowed)
    {
        while (m_xml.readNextStartElement()) {
            for (const char *name : allowed)
                if (at(name))
                    return true;
            if (!is_known_element(m_xml.qualifiedName())) {
                m_xml.skipCurrentElement();
                continue;
            }
            m_xml.raiseError(QObject::tr("element '%1' does not belong in '%2'")
                                 .arg(m_xml.qualifiedName().toString(), QLatin1String(element)));
            return false;
        }
        return false;
    }

    bool at(const char *name) const { return m_xml.qualifiedName() == QLatin1String(name); }
    QString attribute(const char *name) const { return m_xml.attributes().value(QLatin1String(name)).toString(); }
    // The element's text (an element inside it is an error).
    QString text() { return xml_restored_controls(m_xml.readElementText()); }

    // The panel's own widget: its properties (name, geometry, caption) are
    // not read back; its widgets are the items.
    void form()
    {
        while (next_child("widget", {"property", "widget"})) {
            if (at("property"))
                property();
            else
                item();
        }
    }

    void item()
    {
        std::unique_ptr<VyrPanelItem> made = m_panel->make_item(attribute("vyr-class"));
        if (!made) {
            // A kind that is not registered: its block is ignored.
            m_xml.skipCurrentElement();
            return;
        }
        VyrPanelItem &item = *made;
        m_items.push_back(std::move(made));
        while (next_child("widget", {"property", "actions", "signal"})) {
            if (at("property")) {
                const QByteArray name = attribute("name").toLatin1();
                set_widget_property(item, name, property());
            } else if (at("actions")) {
                actions(item);
            } else {
                signal(item);
            }
        }
    }

    PropertyValue property()
    {
        PropertyValue result;
        while (next_child("property", value_types)) {
            const QString type = m_xml.qualifiedName().toString();
            if (type == QLatin1String("uint")) {
                text();
                continue;
            }
            result.type = type;
            result.value = value(type);
        }
        return result;
    }

    QVariant value(const QString &type)
    {
        if (type == QLatin1String("rect"))
            return rect();
        if (type == QLatin1String("QStringList")) {
            QStringList entries;
            while (next_child("QStringList", {"se"}))
                entries << text();
            return entries;
        }
        const QString content = text();
        if (type == QLatin1String("string"))
            return content;
        if (type == QLatin1String("string_utf8"))
            return QString::fromUtf8(element_bytes(content));
        if (type == QLatin1String("cstring") || type == QLatin1String("QCString"))
            return element_bytes(content);
        if (type == QLatin1String("QColor"))
            return QColor(content);
        if (type == QLatin1String("QFont")) {
            QFont font;
            font.fromString(content);
            return font;
        }
        if (type == QLatin1String("double"))
            return content.toDouble();
        if (type == QLatin1String("int"))
            return content.toInt(nullptr, 10);
        return content == QLatin1String("true");
    }

    QRect rect()
    {
        const char *const fields[] = {"x", "y", "width", "height"};
        int numbers[4] = {0, 0, 0, 0};
        while (next_child("rect", {"x", "y", "width", "height"})) {
            int field = 0;
            while (!at(fields[field]))
                ++field;
            numbers[field] = text().toInt(nullptr, 10);
        }
        return clamped_screen_rect(numbers[0], numbers[1], numbers[2], numbers[3]);
    }

    static void set_widget_property(VyrPanelItem &item, const QByteArray &name, const PropertyValue &value)
    {
        QWidget *widget = item.widget();
        if (!widget || value.type.isEmpty())
            return;
        if (value.type == QLatin1String("rect")) {
            const QRect rect = value.value.toRect();
            widget->resize(rect.size());
            widget->move(rect.topLeft());
        } else {
            panel_properties::write(widget, name.constData(), value.value);
        }
    }

    void actions(VyrPanelItem &item)
    {
        VyrScriptActivationGroup *group = item.activation_group();
        while (next_child("actions", {"action_list"})) {
            // A list the kind does not have is read and dropped with its entries.
            VyrScriptActivationList *list = group ? group->find_list(attribute("name")) : nullptr;
            while (next_child("action_list", {"action_entry"})) {
                QString interface_id;
                QString action_name;
                while (next_child("action_entry", {"property"})) {
                    const QString name = attribute("name");
                    const PropertyValue value = property();
                    if (value.is_string() && name == QLatin1String("sif"))
                        interface_id = value.value.toString();
                    else if (value.is_string() && name == QLatin1String("aname"))
                        action_name = value.value.toString();
                }
                if (list)
                    list->add_entry(std::make_unique<VyrScriptActivationEntry>(interface_id, action_name, item.id()));
            }
        }
    }

    void signal(VyrPanelItem &item)
    {
        bool ok = true;
        const QString index_text = attribute("index");
        const int index = index_text.isEmpty() ? 0 : index_text.toInt(&ok, 10);
        PanelSignalBinding *binding =
            ok && index >= 0 && size_t(index) < item.bindings().size() ? item.bindings()[size_t(index)].get() : nullptr;
        while (next_child("signal", {"property"})) {
            const QString name = attribute("name");
            const PropertyValue value = property();
            if (binding)
                set_binding_field(*binding, name, value);
        }
        if (binding)
            binding->resolve();
    }

    static void set_binding_field(PanelSignalBinding &binding, const QString &name, const PropertyValue &value)
    {
        if (value.is_string()) {
            if (name == QLatin1String("sif"))
                binding.set_names(value.value.toString(), binding.signal_name());
            else if (name == QLatin1String("sname"))
                binding.set_names(binding.interface_id(), value.value.toString());
        } else if (value.type == QLatin1String("bool")) {
            if (name == QLatin1String("override_range"))
                binding.override_range = value.value.toBool();
            else if (name == QLatin1String("default_value_valid"))
                binding.default_value_valid = value.value.toBool();
        } else if (value.type == QLatin1String("double")) {
            const double number = value.value.toDouble();
            if (name == QLatin1String("override_range_min"))
                binding.range_minimum = number;
            else if (name == QLatin1String("override_range_max"))
                binding.range_maximum = number;
            else if (name == QLatin1String("default_value"))
                binding.default_value = number;
            else if (name == QLatin1String("active_value"))
                binding.active_value = number;
            else if (name == QLatin1String("inactive_value"))
                binding.inactive_value = number;
        }
    }

    QXmlStreamReader &m_xml;
    VyrPanel *m_panel;
    std::vector<std::unique_ptr<VyrPanelItem>> &m_items;
};

PanelFileReader::PanelFileReader(VyrPanel *panel) : m_panel(panel) {}

PanelFileReader::~PanelFileReader() = default;

std::vector<std::unique_ptr<VyrPanelItem>> PanelFileReader::take_items()
{
    return std::move(m_items);
}

bool PanelFileReader::parse(const QByteArray &data, const QString &file_name)
{
    QXmlStreamReader xml(data);
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {}
    if (xml.isStartElement()) {
        if (xml.qualifiedName() != QLatin1String("UI")) {
            m_error = QObject::tr("File '%1' is not a panel file.").arg(file_name);
            return false;
        }
        Descent(xml, m_panel, m_items).root();
    }
    // What follows the root element must be well-formed too.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError()) {
        m_items.clear();
        m_error = QObject::tr("Error in panel file '%1', line %2, column %3: %4")
                      .arg(file_name)
                      .arg(xml.lineNumber())
                      .arg(xml.columnNumber())
                      .arg(xml.errorString());
        return false;
    }
    return true;
}
