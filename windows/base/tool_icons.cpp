#include "windows/base/tool_icons.h"

#include <QPainter>
#include <QPixmap>

QIcon drawn_icon(const std::function<void(QPainter &)> &draw)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return QIcon(pixmap);
}

QIcon letter_icon(const QString &letters, const QColor &color, int single_size)
{
    return drawn_icon([letters, color, single_size](QPainter &p) {
        QFont font = p.font();
        font.setPixelSize(letters.size() > 1 ? 8 : single_size);
        font.setBold(true);
        p.setFont(font);
        p.setPen(color);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, letters);
    });
}

// One picture row a line: the pictures stay readable.
// clang-format off

// A sheet of paper with lines of text and an arrow into it.
const char *const log_to_file_xpm[] = {
    "16 16 4 1",
    "  c None",
    ". c #000000",
    "+ c #FFFFFF",
    "@ c #0000C0",
    "  .........     ",
    "  .+++++++..    ",
    "  .+....++.+.   ",
    "  .++++++++...  ",
    "  .+......+++.  ",
    "  .++++++++++.  ",
    "@@@@@.....+++.  ",
    "@@@@@@+++++++.  ",
    "@@@@@.....+++.  ",
    "  .++++++++++.  ",
    "  .+......+++.  ",
    "  .++++++++++.  ",
    "  .+.......++.  ",
    "  .++++++++++.  ",
    "  ............  ",
    "                ",
};

// A window frame with a title bar and two slider lines.
const char *const window_properties_xpm[] = {
    "16 16 4 1",
    "  c None",
    ". c #000000",
    "+ c #FFFFFF",
    "@ c #000080",
    "                ",
    " .............. ",
    " .@@@@@@@@@@@@. ",
    " .@@@@@@@@@@@@. ",
    " .++++++++++++. ",
    " .++++++++++++. ",
    " .+........+++. ",
    " .+++++.++++++. ",
    " .++++++++++++. ",
    " .+........+++. ",
    " .+++.++++++++. ",
    " .++++++++++++. ",
    " .++++++++++++. ",
    " .............. ",
    "                ",
    "                ",
};

// Two upright bars.
const char *const pause_xpm[] = {
    "16 16 2 1",
    "  c None",
    ". c #000000",
    "                ",
    "                ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "   ....  ....   ",
    "                ",
    "                ",
};

// A question mark.
const char *const help_xpm[] = {
    "16 16 2 1",
    "  c None",
    ". c #000080",
    "                ",
    "     .....      ",
    "    ..   ..     ",
    "   ..     ..    ",
    "   ..     ..    ",
    "          ..    ",
    "         ..     ",
    "        ..      ",
    "       ..       ",
    "       ..       ",
    "       ..       ",
    "                ",
    "       ..       ",
    "       ..       ",
    "                ",
    "                ",
};
// clang-format on
