#include "core/widgets/vyr_signal_select_list_view.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList top_level_texts(QTreeWidget &view)
{
    QStringList texts;
    for (int i = 0; i < view.topLevelItemCount(); ++i)
        texts << view.topLevelItem(i)->text(0);
    return texts;
}

TEST(VyrSignalSelectItemTest, SortsByTextLowerCasedWhenCaseInsensitive)
{
    for (bool insensitive : {false, true}) {
        VyrSignalSelectListView view;
        for (const char *name : {"cherry", "Banana", "apple"}) {
            auto *item = new VyrSignalSelectItem(&view);
            item->setText(0, name);
            item->set_case_insensitive(insensitive);
        }
        view.sortItems(0, Qt::AscendingOrder);
        const QStringList expected = insensitive ? QStringList{"apple", "Banana", "cherry"}
                                                 : QStringList{"Banana", "apple", "cherry"};
        EXPECT_EQ(top_level_texts(view), expected) << "case-insensitive " << insensitive;
    }
}

TEST(VyrSignalSelectItemTest, ChildItemsSortUnderTheirParent)
{
    VyrSignalSelectListView view;
    auto *parent = new VyrSignalSelectItem(&view);
    parent->setText(0, "Engine");
    for (const char *name : {"Torque", "speed", "Rpm"}) {
        auto *child = new VyrSignalSelectItem(parent);
        child->setText(0, name);
        child->set_case_insensitive(true);
    }
    view.sortItems(0, Qt::AscendingOrder);
    ASSERT_EQ(parent->childCount(), 3);
    EXPECT_EQ(parent->child(0)->text(0), "Rpm");
    EXPECT_EQ(parent->child(1)->text(0), "speed");
    EXPECT_EQ(parent->child(2)->text(0), "Torque");
}

TEST(VyrSignalSelectListViewTest, TypedTextMakesTheFirstMatchingItemVisible)
{
    VyrSignalSelectListView view;
    view.setObjectName("signal_list");
    view.setColumnCount(1);
    for (int i = 0; i < 200; ++i) {
        auto *item = new VyrSignalSelectItem(&view);
        item->setText(0, QString("a%1").arg(i, 3, 10, QChar('0')));
    }
    auto *group = new VyrSignalSelectItem(&view);
    group->setText(0, "Group");
    auto *nested = new VyrSignalSelectItem(group);
    nested->setText(0, "zeta");
    auto *later = new VyrSignalSelectItem(&view);
    later->setText(0, "zulu");
    view.resize(200, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    auto visible = [&view](QTreeWidgetItem *item) {
        const QRect rect = view.visualItemRect(item);
        return rect.isValid() && view.viewport()->rect().intersects(rect);
    };
    ASSERT_FALSE(visible(nested));
    QTest::keyClick(&view, Qt::Key_Z, Qt::NoModifier);
    // The nested item comes first in tree order; its parent is opened for it.
    EXPECT_TRUE(group->isExpanded());
    EXPECT_TRUE(visible(nested));
    EXPECT_FALSE(visible(view.topLevelItem(0)));
}

} // namespace
