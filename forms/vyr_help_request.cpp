#include "forms/vyr_help_request.h"

#include <QApplication>
#include <QWidget>

void connect_help_to_main_widget(QObject *dialog)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->metaObject()->indexOfSlot("activate_help_context(QString)") >= 0) {
            QObject::connect(dialog, SIGNAL(activate_help_context(QString)), widget,
                             SLOT(activate_help_context(QString)));
            return;
        }
    }
}
