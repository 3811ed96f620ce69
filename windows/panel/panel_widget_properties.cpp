#include "windows/panel/panel_widget_properties.h"

#include <QColor>
#include <QMetaProperty>
#include <QPalette>
#include <QWidget>

#include <cstring>

namespace panel_properties {

namespace {

enum class Mapped { None, Name, ForegroundColor, OwnPalette, OwnFont };

Mapped mapped(const char *name)
{
    if (std::strcmp(name, "name") == 0)
        return Mapped::Name;
    if (std::strcmp(name, "paletteForegroundColor") == 0)
        return Mapped::ForegroundColor;
    if (std::strcmp(name, "ownPalette") == 0)
        return Mapped::OwnPalette;
    if (std::strcmp(name, "ownFont") == 0)
        return Mapped::OwnFont;
    return Mapped::None;
}

const QPalette::ColorRole foreground_roles[] = {QPalette::WindowText, QPalette::Text, QPalette::ButtonText};

} // namespace

bool has(const QWidget *widget, const char *name)
{
    return mapped(name) != Mapped::None || widget->metaObject()->indexOfProperty(name) >= 0 ||
           widget->dynamicPropertyNames().contains(name);
}

QVariant read(const QWidget *widget, const char *name)
{
    switch (mapped(name)) {
    case Mapped::Name:
        return widget->objectName().toUtf8();
    case Mapped::ForegroundColor:
        return widget->palette().color(QPalette::WindowText);
    case Mapped::OwnPalette:
        return widget->testAttribute(Qt::WA_SetPalette);
    case Mapped::OwnFont:
        return widget->testAttribute(Qt::WA_SetFont);
    case Mapped::None:
        break;
    }
    return widget->property(name);
}

bool write(QWidget *widget, const char *name, const QVariant &value)
{
    switch (mapped(name)) {
    case Mapped::Name:
        widget->setObjectName(value.toString());
        return true;
    case Mapped::ForegroundColor: {
        const QColor colour = value.value<QColor>();
        if (!colour.isValid())
            return false;
        QPalette palette = widget->palette();
        for (QPalette::ColorRole role : foreground_roles)
            palette.setColor(role, colour);
        widget->setPalette(palette);
        return true;
    }
    case Mapped::OwnPalette:
        widget->setAttribute(Qt::WA_SetPalette, value.toBool());
        return true;
    case Mapped::OwnFont:
        widget->setAttribute(Qt::WA_SetFont, value.toBool());
        return true;
    case Mapped::None:
        break;
    }
    return widget->setProperty(name, value) || widget->dynamicPropertyNames().contains(name);
}

QString stored_type_name(const QWidget *widget, const char *name)
{
    switch (mapped(name)) {
    case Mapped::Name:
        return QStringLiteral("cstring");
    case Mapped::ForegroundColor:
        return QStringLiteral("color");
    case Mapped::OwnPalette:
    case Mapped::OwnFont:
        return QStringLiteral("bool");
    case Mapped::None:
        break;
    }
    const int index = widget->metaObject()->indexOfProperty(name);
    if (index >= 0) {
        const QMetaProperty property = widget->metaObject()->property(index);
        if (property.isFlagType())
            return QStringLiteral("set");
        if (property.isEnumType())
            return QStringLiteral("enum");
    }
    const QVariant value = widget->property(name);
    switch (int(value.type())) {
    case QVariant::Invalid:
        return QString();
    case QVariant::String:
        return QStringLiteral("string");
    case QVariant::ByteArray:
        return QStringLiteral("cstring");
    case QVariant::Int:
    case QVariant::UInt:
        return QStringLiteral("number");
    case QVariant::Double:
        return QStringLiteral("double");
    case QVariant::Bool:
        return QStringLiteral("bool");
    case QVariant::Color:
        return QStringLiteral("color");
    case QVariant::Font:
        return QStringLiteral("font");
    case QVariant::Rect:
        return QStringLiteral("rect");
    case QVariant::Size:
        return QStringLiteral("size");
    case QVariant::Point:
        return QStringLiteral("point");
    case QVariant::Pixmap:
        return QStringLiteral("pixmap");
    case QVariant::Palette:
        return QStringLiteral("palette");
    case QVariant::Cursor:
        return QStringLiteral("cursor");
    case QVariant::SizePolicy:
        return QStringLiteral("sizepolicy");
    default:
        return QString::fromLatin1(value.typeName());
    }
}

} // namespace panel_properties
