#pragma once

#include <QColor>
#include <QIcon>

#include <functional>

class QPainter;

// The pictures of the windows' own tool buttons: a few strokes on 16 x 16 pixels.
QIcon drawn_icon(const std::function<void(QPainter &)> &draw);
// One or two letters or signs; two or more are drawn at 8 pixels, one at `single_size`.
QIcon letter_icon(const QString &letters, const QColor &color = Qt::darkBlue, int single_size = 12);

// The 16x16 pictures of the data windows' standard tool buttons.
extern const char *const log_to_file_xpm[];
extern const char *const window_properties_xpm[];
extern const char *const pause_xpm[];
extern const char *const help_xpm[];
