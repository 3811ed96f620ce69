#pragma once
// The program's answer to vyr_ask_question: a message box on the GUI thread.
#include "core/vyr_question.h"

#include <QString>
#include <QStringList>

class QWidget;

// A box with the icon and the buttons in this order; answers the index of
// the button chosen. The last button is the default (Enter) and the escape
// button. Off the GUI thread, and when the box is closed without a button,
// the answer is the last button: a modal box never opens on another thread.
int vyr_message_box_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
                             VyrQuestionIcon icon = VyrQuestionIcon::warning);
