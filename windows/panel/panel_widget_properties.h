#pragma once
// Widget properties by the names that panel files and panel items use. Most
// are the toolkit's own properties; a few names stored in panel files have no
// property of that name in Qt 5 and are mapped here, so every reader and
// writer of panel items agrees on them:
//   "name"                   the object name (stored type "cstring")
//   "paletteForegroundColor" the foreground colour roles of the palette
//   "ownPalette", "ownFont"  Qt::WA_SetPalette and Qt::WA_SetFont
#include <QString>
#include <QVariant>

class QWidget;

namespace panel_properties {

// Whether the widget has the property (a mapped name, a declared or a dynamic
// property).
bool has(const QWidget *widget, const char *name);
// The property's value; invalid when the widget has no such property.
QVariant read(const QWidget *widget, const char *name);
// Sets the property; false when the widget refuses the value.
bool write(QWidget *widget, const char *name, const QVariant &value);
// The type name under which a panel file stores the property ("string",
// "cstring", "number", "double", "bool", "color", "font", "rect", "size",
// "point", "pixmap", "palette", "cursor", "sizepolicy", "enum", "set"); for
// other types the toolkit's type name; empty when there is no such property.
QString stored_type_name(const QWidget *widget, const char *name);

} // namespace panel_properties
