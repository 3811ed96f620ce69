#include "core/widgets/vyr_message_box_question.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <vector>

int vyr_message_box_question(QWidget *parent, const QString &title, const QString &text, const QStringList &buttons)
{
    const int last = buttons.size() - 1;
    QCoreApplication *application = QCoreApplication::instance();
    if (!qobject_cast<QApplication *>(application) || QThread::currentThread() != application->thread())
        return last;
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    box.setObjectName("question_box");
    std::vector<QPushButton *> added;
    for (const QString &button : buttons)
        added.push_back(box.addButton(button, QMessageBox::ActionRole));
    box.exec();
    for (size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == static_cast<QAbstractButton *>(added[i]))
            return int(i);
    return last;
}
