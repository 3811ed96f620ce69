#include "core/vyr_custom_event.h"

#include <QCoreApplication>

void post_vyr_event(QObject *receiver, VyrCustomEvent *event)
{
    if (!receiver) {
        delete event;
        return;
    }
    QCoreApplication::postEvent(receiver, event);
}
