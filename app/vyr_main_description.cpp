// The description of the running configuration: an HTML page of its
// interfaces and data windows, shown in a reader dialog.
#include "app/dialog_describe_config.h"
#include "app/vyr_main.h"

#include "core/vyr_signal_if.h"
#include "windows/base/vyr_data_window.h"

#include <QDateTime>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

// The dialog's 32 x 32 icon: a sheet of text in four colours (transparent,
// white paper, black border, blue lines), drawn without smoothing so that no
// other colour appears.
QIcon description_icon()
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(5, 2, 21, 27);
    painter.setPen(Qt::blue);
    for (int y = 7; y <= 24; y += 4)
        painter.drawLine(9, y, y % 8 == 3 ? 17 : 22, y);
    return QIcon(picture);
}

} // namespace

QString VyrMain::configuration_description() const
{
    QString text = QStringLiteral("<h1>Configuration</h1>");
    text += QStringLiteral("<p>") + QDateTime::currentDateTime().toString(Qt::TextDate) + QStringLiteral("</p>");
    text += QStringLiteral("<h2>Interfaces</h2>");
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        text += interface->info_text();
    text += QStringLiteral("<hr><h2>Active Windows</h2>");
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        text += window->description_text();
    return text + QStringLiteral("<hr>");
}

void VyrMain::describe_config()
{
    DialogDescribeConfig dialog(this, "describe_config");
    dialog.setWindowIcon(description_icon());
    dialog.set_text(configuration_description());
    dialog.exec();
}
