#include "widgets/misc/qtcolorcombobox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QColorDialog>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << '"' << list.join("\", \"").toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

QtColorComboBox *filled_box(QWidget *parent = nullptr)
{
    auto *box = new QtColorComboBox(parent, "colors");
    box->insert_color(Qt::red, "Red");
    box->insert_color(Qt::green, "Green");
    box->insert_color(Qt::blue, "Blue");
    return box;
}

QStringList texts(const QComboBox &box)
{
    QStringList list;
    for (int i = 0; i < box.count(); ++i)
        list << box.itemText(i);
    return list;
}

// Answers the colour dialog that the next "More..." choice opens: accepted
// with `color`, or cancelled when it is invalid.
void answer_color_dialog(const QColor &color)
{
    QTimer::singleShot(0, [color] {
        auto *dialog = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->currentColor(), QColor(Qt::white));
        if (color.isValid()) {
            dialog->setCurrentColor(color);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
}

// Chooses an entry as a click in the popup does.
void choose(QtColorComboBox &box, int index)
{
    box.setCurrentIndex(index);
    emit box.QComboBox::activated(index);
}

} // namespace

TEST(QtColorComboBox, SwatchesAreGreySquaresFilledWithTheColour)
{
    std::unique_ptr<QtColorComboBox> box(filled_box());
    box->insert_color(QColor(), "None");
    EXPECT_FALSE(box->isEditable());
    EXPECT_EQ(box->iconSize(), QSize(12, 12));

    const QImage red = box->itemIcon(0).pixmap(12, 12).toImage();
    ASSERT_EQ(red.size(), QSize(12, 12));
    EXPECT_EQ(QColor(red.pixel(0, 0)), QColor(Qt::gray));
    EXPECT_EQ(QColor(red.pixel(11, 11)), QColor(Qt::gray));
    EXPECT_EQ(QColor(red.pixel(0, 6)), QColor(Qt::gray));
    EXPECT_EQ(QColor(red.pixel(6, 6)), QColor(Qt::red));
    EXPECT_EQ(QColor(red.pixel(1, 1)), QColor(Qt::red));

    const QImage blank = box->itemIcon(3).pixmap(12, 12).toImage();
    for (QPoint point : {QPoint(0, 0), QPoint(6, 6), QPoint(11, 11)})
        EXPECT_EQ(qAlpha(blank.pixel(point)), 0);
    EXPECT_FALSE(box->color_at(3).isValid());

    const QFontMetrics metrics = box->fontMetrics();
    EXPECT_EQ(box->sizeHint(),
              QSize(metrics.horizontalAdvance("User Color 99") + 40, metrics.height() + 10));
}

TEST(QtColorComboBox, InsertionPlacesAndCurrentColour)
{
    std::unique_ptr<QtColorComboBox> box(filled_box());
    EXPECT_EQ(box->current_color(), QColor(Qt::red)); // the first entry is current
    box->insert_color(Qt::black, "Black", 0);
    box->insert_color(Qt::white, "White", 99); // beyond the end: one before the last entry
    EXPECT_EQ(texts(*box), QStringList({"Black", "Red", "White", "Green", "Blue"}));

    box->set_more_entry_enabled(true);
    box->set_more_entry_enabled(true); // unchanged: nothing
    box->insert_color(Qt::yellow, "Yellow");
    EXPECT_EQ(texts(*box), QStringList({"Black", "Red", "White", "Green", "Blue", "Yellow", "More..."}));
    EXPECT_FALSE(box->color_at(6).isValid());
    EXPECT_FALSE(box->color_at(7).isValid());
    EXPECT_EQ(box->color_at(5), QColor(Qt::yellow));

    box->set_current_color(Qt::blue);
    EXPECT_EQ(box->currentIndex(), 4);
    EXPECT_EQ(box->current_color(), QColor(Qt::blue));
    box->set_current_color(Qt::magenta); // not listed: nothing changes
    EXPECT_EQ(box->currentIndex(), 4);
    EXPECT_EQ(box->current_color(), QColor(Qt::blue));

    box->set_more_entry_enabled(false);
    EXPECT_EQ(texts(*box).last(), "Yellow");
}

TEST(QtColorComboBox, MoreAddsUserColoursAndCancelKeepsTheOldOne)
{
    std::unique_ptr<QtColorComboBox> box(filled_box());
    box->set_more_entry_enabled(true);
    box->show();
    QSignalSpy activated(box.get(), QOverload<const QColor &>::of(&QtColorComboBox::activated));

    choose(*box, 1);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.last().at(0).value<QColor>(), QColor(Qt::green));

    const QColor picks[] = {QColor(10, 20, 30), QColor(40, 50, 60), QColor(70, 80, 90)};
    for (int n = 0; n < 3; ++n) {
        const int more = box->count() - 1;
        answer_color_dialog(picks[n]);
        choose(*box, more);
        EXPECT_EQ(box->itemText(more), QString("User color %1").arg(n + 1));
        EXPECT_EQ(box->currentIndex(), more);
        EXPECT_EQ(box->current_color(), picks[n]);
        EXPECT_EQ(box->itemText(box->count() - 1), "More...");
        EXPECT_EQ(activated.last().at(0).value<QColor>(), picks[n]);
    }

    choose(*box, 1);
    const int emitted = activated.count();
    answer_color_dialog(QColor()); // cancelled
    choose(*box, box->count() - 1);
    EXPECT_EQ(box->count(), 7);
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(box->current_color(), QColor(Qt::green));
    ASSERT_EQ(activated.count(), emitted + 1);
    EXPECT_EQ(activated.last().at(0).value<QColor>(), QColor(Qt::green));
}

TEST(QtColorComboBox, HighlightedNeverForMore)
{
    std::unique_ptr<QtColorComboBox> box(filled_box());
    box->set_more_entry_enabled(true);
    box->show();
    box->showPopup();
    QSignalSpy highlighted(box.get(), QOverload<const QColor &>::of(&QtColorComboBox::highlighted));
    QAbstractItemView *view = box->view();
    view->setCurrentIndex(view->model()->index(2, 0));
    view->setCurrentIndex(view->model()->index(3, 0)); // "More..."
    box->hidePopup();
    ASSERT_EQ(highlighted.count(), 1);
    EXPECT_EQ(highlighted.at(0).at(0).value<QColor>(), QColor(Qt::blue));
}
