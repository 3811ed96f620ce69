#include "core/widgets/vyr_message_box_question.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

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

} // namespace

int vyr_message_box_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons,
                             VyrQuestionIcon icon)
{
    const int last = buttons.size() - 1;
    QCoreApplication *application = QCoreApplication::instance();
    if (!qobject_cast<QApplication *>(application) || QThread::currentThread() != application->thread())
        return last;
    QMessageBox box(box_icon(icon), title, text, QMessageBox::NoButton, parent);
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
    box.exec();
    for (size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == static_cast<QAbstractButton *>(added[i]))
            return int(i);
    return last;
}
