#pragma once
// The program's answer to vyr_ask_question: a message box on the GUI thread.
#include "core/vyr_question.h"

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

// A box with the icon and the buttons in this order; answers the index of
// the button chosen. The last button is the default (Enter) and the escape
// button. Off the GUI thread, and when the box is closed without a button,
// the answer is the last button: a modal box never opens on another thread.
// The box is no child of the parent: it stands over the parent's window, but
// whatever deletes that window while the box is open never deletes the box.
int vyr_message_box_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
                             VyrQuestionIcon icon = VyrQuestionIcon::warning);

// A modal dialog of the program that asks (a question box, a file dialog)
// while its exec runs: the program's end on a signal closes it and waits for
// its exec to return before the window goes, since the code that asked
// belongs to the window. The dialog must outlive the object (GUI thread only).
class VyrOpenQuestion
{
public:
    explicit VyrOpenQuestion(QDialog *dialog);
    ~VyrOpenQuestion();
    VyrOpenQuestion(const VyrOpenQuestion &) = delete;
    VyrOpenQuestion &operator=(const VyrOpenQuestion &) = delete;

    // The dialogs that wait for an answer (nested ones count each).
    static int count();
    // Rejects every dialog that waits: a question box answers its last
    // button. Their callers go on once control is back in each dialog's loop.
    static void close_all();
};
