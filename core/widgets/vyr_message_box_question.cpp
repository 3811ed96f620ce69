#include "core/widgets/vyr_message_box_question.h"

#include "settings/debug_trace.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QWindow>

#include <vector>

namespace {

QMessageBox::Icon box_icon(VyrQuestionIcon icon)
{
    switch (icon) {
    case VyrQuestionIcon::information:
        return QMessageBox::Information;
    case VyrQuestionIcon::critical:
        return QMessageBox::Critical;
    case VyrQuestionIcon::warning:
        break;
    }
    return QMessageBox::Warning;
}

// A box without parent, placed over its owner's window as a child box would be.
class QuestionBox : public QMessageBox
{
public:
    QuestionBox(Icon icon, const QString &title, const QString &text, QWidget *owner)
        : QMessageBox(icon, title, text, NoButton), m_owner(owner ? owner->window() : nullptr)
    {
        if (!m_owner)
            return;
        winId();
        if (QWindow *owner_window = m_owner->windowHandle())
            windowHandle()->setTransientParent(owner_window);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        if (m_owner)
            adjustPosition(m_owner);
    }

private:
    QPointer<QWidget> m_owner;
};

// The dialogs whose exec has not returned, innermost last.
std::vector<QDialog *> &open_dialogs()
{
    static std::vector<QDialog *> dialogs;
    return dialogs;
}

} // namespace

int vyr_message_box_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
                             VyrQuestionIcon icon)
{
    const int last = buttons.size() - 1;
    QCoreApplication *application = QCoreApplication::instance();
    if (!qobject_cast<QApplication *>(application) || QThread::currentThread() != application->thread())
        return last;
    QuestionBox box(box_icon(icon), title, text, parent);
    box.setObjectName("question_box");
    std::vector<QPushButton *> added;
    for (const QString &button : buttons)
        added.push_back(box.addButton(button, QMessageBox::ActionRole));
    if (!added.empty()) {
        // Left to itself the box makes the first button the default, which
        // for "YES/No/Cancel" would save at a press of Enter.
        box.setDefaultButton(added.back());
        box.setEscapeButton(added.back());
    }
    debug_trace("vyr_message_box_question: %s: %s", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    const VyrOpenQuestion open(&box);
    box.exec();
    for (size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == static_cast<QAbstractButton *>(added[i]))
            return int(i);
    return last;
}

VyrOpenQuestion::VyrOpenQuestion(QDialog *dialog)
{
    open_dialogs().push_back(dialog);
}

VyrOpenQuestion::~VyrOpenQuestion()
{
    open_dialogs().pop_back();
}

int VyrOpenQuestion::count()
{
    return int(open_dialogs().size());
}

void VyrOpenQuestion::close_all()
{
    for (QDialog *dialog : open_dialogs())
        dialog->reject();
}
