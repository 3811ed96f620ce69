#include "windows/panel/panel_file.h"

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

void write_string_property(Writer &out, int indent, const char *name, const QString &value)
{
    out.line(indent, std::string("<property name=\"") + name + "\">");
    out.line(indent + 2, element("string", escaped(value.toUtf8())));
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

struct PanelFileReader::State
{
    VyrPanelItem *item = nullptr;
    QString text;
    bool in_property = false;
    QString property_name;
    QString value_type; // empty: no value collected in this property
    bool in_actions = false;
    VyrScriptActivationGroup *group = nullptr;
    VyrScriptActivationList *list = nullptr;
    std::unique_ptr<VyrScriptActivationEntry> entry;
    PanelSignalBinding *binding = nullptr;
    QString string_value;
    QByteArray cstring_value;
    QStringList list_value;
    QColor colour_value;
    QFont font_value;
    double double_value = 0.0;
    int int_value = 0;
    bool bool_value = false;
    QRect rect_value;
};

PanelFileReader::PanelFileReader(VyrPanel *panel) : m_panel(panel), m_state(std::make_unique<State>()) {}

PanelFileReader::~PanelFileReader() = default;

std::vector<std::unique_ptr<VyrPanelItem>> PanelFileReader::take_items()
{
    return std::move(m_items);
}

namespace {

const QStringList value_types = {QStringLiteral("rect"),        QStringLiteral("string"), QStringLiteral("string_utf8"),
                                 QStringLiteral("cstring"),     QStringLiteral("QCString"), QStringLiteral("QStringList"),
                                 QStringLiteral("QColor"),      QStringLiteral("QFont"),  QStringLiteral("double"),
                                 QStringLiteral("int"),         QStringLiteral("bool")};

// The element's characters taken as bytes (as written from UTF-8 bytes).
QString decoded_utf8(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text)
        bytes.append(char(c.unicode() & 0xff));
    return QString::fromUtf8(bytes);
}

} // namespace

bool PanelFileReader::parse(const QByteArray &data, const QString &file_name)
{
    QXmlStreamReader xml(data);
    bool root_seen = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (!root_seen) {
                root_seen = true;
                if (xml.qualifiedName() != QLatin1String("UI")) {
                    m_items.clear();
                    m_error = QObject::tr("File '%1' is not a panel file.").arg(file_name);
                    return false;
                }
            }
            start_element(xml.qualifiedName().toString(), xml.attributes());
            break;
        case QXmlStreamReader::EndElement:
            end_element(xml.qualifiedName().toString());
            break;
        case QXmlStreamReader::Characters:
            m_state->text += xml.text();
            break;
        default:
            break;
        }
    }
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

void PanelFileReader::start_element(const QString &name, const QXmlStreamAttributes &attributes)
{
    State &s = *m_state;
    s.text.clear();
    if (s.in_property && value_types.contains(name)) {
        s.value_type = name;
        if (name == QLatin1String("QStringList"))
            s.list_value.clear();
    } else if (name == QLatin1String("widget")) {
        s.item = nullptr;
        if (std::unique_ptr<VyrPanelItem> item = m_panel->make_item(attributes.value("vyr-class").toString())) {
            s.item = item.get();
            m_items.push_back(std::move(item));
        }
    } else if (name == QLatin1String("property")) {
        s.in_property = true;
        s.property_name = attributes.value("name").toString();
        s.value_type.clear();
    } else if (name == QLatin1String("signal")) {
        s.binding = nullptr;
        bool ok = true;
        const QStringRef index_text = attributes.value("index");
        const int index = index_text.isEmpty() ? 0 : index_text.toInt(&ok, 10);
        if (s.item && ok && index >= 0 && size_t(index) < s.item->bindings().size())
            s.binding = s.item->bindings()[size_t(index)].get();
    } else if (name == QLatin1String("actions")) {
        s.in_actions = true;
        s.group = s.item ? s.item->activation_group() : nullptr;
    } else if (name == QLatin1String("action_list")) {
        if (s.in_actions && s.group)
            s.list = s.group->find_list(attributes.value("name").toString());
    } else if (name == QLatin1String("action_entry")) {
        if (s.in_actions && s.group && s.list)
            s.entry = std::make_unique<VyrScriptActivationEntry>(QString(), QString(), s.item->id());
    }
}

void PanelFileReader::end_element(const QString &name)
{
    State &s = *m_state;
    if (s.in_property && value_types.contains(name)) {
        if (name == QLatin1String("string"))
            s.string_value = s.text;
        else if (name == QLatin1String("string_utf8"))
            s.string_value = decoded_utf8(s.text);
        else if (name == QLatin1String("cstring") || name == QLatin1String("QCString"))
            s.cstring_value = s.text.toUtf8();
        else if (name == QLatin1String("bool"))
            s.bool_value = s.text == QLatin1String("true");
        else if (name == QLatin1String("QColor"))
            s.colour_value = QColor(s.text);
        else if (name == QLatin1String("QFont"))
            s.font_value.fromString(s.text);
        else if (name == QLatin1String("double"))
            s.double_value = s.text.toDouble();
        else if (name == QLatin1String("int"))
            s.int_value = s.text.toInt(nullptr, 10);
        return;
    }
    if (name == QLatin1String("property")) {
        s.in_property = false;
        const bool is_string = s.value_type == QLatin1String("string") || s.value_type == QLatin1String("string_utf8");
        if (s.binding) {
            PanelSignalBinding &b = *s.binding;
            if (is_string && s.property_name == QLatin1String("sif"))
                b.set_names(s.string_value, b.signal_name());
            else if (is_string && s.property_name == QLatin1String("sname"))
                b.set_names(b.interface_id(), s.string_value);
            else if (s.value_type == QLatin1String("bool") && s.property_name == QLatin1String("override_range"))
                b.override_range = s.bool_value;
            else if (s.value_type == QLatin1String("bool") && s.property_name == QLatin1String("default_value_valid"))
                b.default_value_valid = s.bool_value;
            else if (s.value_type == QLatin1String("double")) {
                if (s.property_name == QLatin1String("override_range_min"))
                    b.range_minimum = s.double_value;
                else if (s.property_name == QLatin1String("override_range_max"))
                    b.range_maximum = s.double_value;
                else if (s.property_name == QLatin1String("default_value"))
                    b.default_value = s.double_value;
                else if (s.property_name == QLatin1String("active_value"))
                    b.active_value = s.double_value;
                else if (s.property_name == QLatin1String("inactive_value"))
                    b.inactive_value = s.double_value;
            }
        } else if (s.in_actions) {
            if (s.entry && is_string && s.property_name == QLatin1String("sif"))
                s.entry->set_names(s.string_value, s.entry->action_name());
            else if (s.entry && is_string && s.property_name == QLatin1String("aname"))
                s.entry->set_names(s.entry->interface_id(), s.string_value);
        } else if (s.item && s.item->widget() && !s.value_type.isEmpty()) {
            QWidget *widget = s.item->widget();
            const QByteArray key = s.property_name.toLatin1();
            const QString &type = s.value_type;
            if (type == QLatin1String("rect")) {
                widget->resize(s.rect_value.size());
                widget->move(s.rect_value.topLeft());
            } else if (is_string) {
                panel_properties::write(widget, key.constData(), s.string_value);
            } else if (type == QLatin1String("cstring") || type == QLatin1String("QCString")) {
                panel_properties::write(widget, key.constData(), s.cstring_value);
            } else if (type == QLatin1String("QStringList")) {
                panel_properties::write(widget, key.constData(), s.list_value);
            } else if (type == QLatin1String("QColor")) {
                panel_properties::write(widget, key.constData(), s.colour_value);
            } else if (type == QLatin1String("QFont")) {
                panel_properties::write(widget, key.constData(), s.font_value);
            } else if (type == QLatin1String("double")) {
                panel_properties::write(widget, key.constData(), s.double_value);
            } else if (type == QLatin1String("int")) {
                panel_properties::write(widget, key.constData(), s.int_value);
            } else if (type == QLatin1String("bool")) {
                panel_properties::write(widget, key.constData(), s.bool_value);
            }
        }
        s.value_type.clear();
    } else if (name == QLatin1String("widget")) {
        s.item = nullptr;
    } else if (name == QLatin1String("signal")) {
        if (s.binding)
            s.binding->resolve();
        s.binding = nullptr;
    } else if (name == QLatin1String("actions")) {
        s.in_actions = false;
        s.group = nullptr;
        s.list = nullptr;
        s.entry.reset();
    } else if (name == QLatin1String("action_list")) {
        s.list = nullptr;
        s.entry.reset();
    } else if (name == QLatin1String("action_entry")) {
        if (s.group && s.list && s.entry) {
            s.entry->resolve();
            s.list->add_entry(std::move(s.entry));
        }
        s.entry.reset();
    } else if (name == QLatin1String("x")) {
        s.rect_value.moveLeft(s.text.toInt());
    } else if (name == QLatin1String("y")) {
        s.rect_value.moveTop(s.text.toInt());
    } else if (name == QLatin1String("width")) {
        s.rect_value.setWidth(s.text.toInt());
    } else if (name == QLatin1String("height")) {
        s.rect_value.setHeight(s.text.toInt());
    } else if (name == QLatin1String("se")) {
        s.list_value.append(s.text);
    }
}
