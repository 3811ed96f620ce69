#pragma once
// Placement rules of the main window's stored geometry.
#include <QRect>

// The rectangle moved (its size kept) into a desktop of that size: a right
// or bottom edge beyond it comes to 20 pixels inside, then a left or top
// edge above 0 comes to 20.
QRect fit_to_desktop(QRect rect, int desktop_width, int desktop_height);
