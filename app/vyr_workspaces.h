#pragma once
// The arithmetic of the main window's standard layout, kept apart from the
// widgets so that it can be checked on its own.
#include <QRect>
#include <QString>

#include <vector>

// The frames of windows with these class keys (in window-list order) on a
// workspace page of width x height: send windows, scopes and tune windows
// share the left half, statistics and everything else the right half, each
// kind in its own band by weight; several windows of a band are tiled when
// they fit at their minimum height, else cascaded.
std::vector<QRect> standard_layout_frames(const std::vector<QString> &class_keys, int width, int height);
