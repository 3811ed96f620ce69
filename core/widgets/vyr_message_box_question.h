#pragma once
// The program's answer to vyr_ask_question: a warning box on the GUI thread.
#include <QString>
#include <QStringList>

class QWidget;

// A warning box with the buttons in this order; answers the index of the
// button chosen. Off the GUI thread, and when the box is closed without a
// button, the answer is the last button: a modal box never opens on another
// thread.
int vyr_message_box_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons);
