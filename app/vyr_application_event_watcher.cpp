#include "app/vyr_application_event_watcher.h"

#include "core/key_codes.h"
#include "core/vyr_global_accel.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

VyrApplicationEventWatcher::VyrApplicationEventWatcher(QObject *parent) : QObject(parent) {}

bool VyrApplicationEventWatcher::eventFilter(QObject *receiver, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    QWidget *focus = QApplication::focusWidget();
    if (!focus) // a window without a focus widget receives its keys itself
        focus = QApplication::activeWindow();
    if (qobject_cast<QLineEdit *>(focus) || qobject_cast<QComboBox *>(focus))
        return false;
    // Each key press travels to the focus widget first; the filter sees it
    // once there and not again on its way up the parents.
    if (receiver != focus || !m_enabled)
        return false;
    VyrGlobalAccel *table = VyrGlobalAccel::instance();
    if (!table)
        return false;
    const auto *key_event = static_cast<QKeyEvent *>(event);
    const VyrKeyPress press = key_press_from_qt(key_event->key(), key_event->modifiers());
    return table->handle_key(press.key, press.state);
}
