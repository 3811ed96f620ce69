#pragma once
// The custom events with which interface threads and script functions ask
// the main window (an interface's owner) to act. They are posted with
// QCoreApplication::postEvent, so the poster never waits for the GUI thread;
// the toolkit owns and deletes each event after delivery.
#include <QEvent>
#include <QPointer>
#include <QString>
#include <cstdint>

class QObject;

enum VyrEventType {
    vyr_event_error = 10003,           // reason text: communication with a target broken
    vyr_event_stop = 10004,            // stop the measurement
    vyr_event_exit = 10005,            // exit code
    vyr_event_minimize = 10006,        // minimise the program
    vyr_event_restore = 10007,         // restore the program
    vyr_event_start = 10008,           // start the measurement
    vyr_event_beep = 10009,            // frequency, duration
    vyr_event_show = 10010,            // a widget to show normal
    vyr_event_restart = 10011,         // delay in seconds
    vyr_event_shutdown = 10012,        // shut down the PC with a code
    vyr_event_save_log = 10013,        // action, file name
    vyr_event_select_workspace = 11000 // workspace number
};

// A custom event with up to two numbers and a text; which of them an event
// type carries is listed with VyrEventType.
class VyrCustomEvent : public QEvent
{
public:
    explicit VyrCustomEvent(VyrEventType type, uint32_t word1 = 0, uint32_t word2 = 0, const QString &text = QString())
        : QEvent(QEvent::Type(type)), m_word1(word1), m_word2(word2), m_text(text)
    {
    }

    VyrEventType event_type() const { return VyrEventType(type()); }
    uint32_t word1() const { return m_word1; }
    uint32_t word2() const { return m_word2; }
    const QString &text() const { return m_text; }

private:
    uint32_t m_word1;
    uint32_t m_word2;
    QString m_text;
};

// Event 10003: the reason why the communication of an interface broke.
class VyrErrorEvent : public VyrCustomEvent
{
public:
    explicit VyrErrorEvent(const QString &reason) : VyrCustomEvent(vyr_event_error, 0, 0, reason) {}
    const QString &reason() const { return text(); }
};

// Event 10010: show a widget normal (one deleted meanwhile is skipped).
class VyrShowEvent : public VyrCustomEvent
{
public:
    explicit VyrShowEvent(QObject *widget) : VyrCustomEvent(vyr_event_show), m_widget(widget) {}
    QObject *widget() const { return m_widget; }

private:
    QPointer<QObject> m_widget;
};

// Posts the event to the receiver (the event is then the toolkit's); an event
// for no receiver is deleted. Safe from every thread.
void post_vyr_event(QObject *receiver, VyrCustomEvent *event);
