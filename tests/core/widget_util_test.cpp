#include "core/widgets/widget_util.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

TEST(ComboHelpers, SelectTheFirstMatchOrLeaveTheSelection)
{
    QComboBox combo;
    combo.addItems({"10", "0x20", "abc", "abd", "script.sig", "500 kbit", "abc"});
    combo.setCurrentIndex(0);
    EXPECT_EQ(select_combo_item_by_number(&combo, 32), 1);
    EXPECT_EQ(select_combo_item_by_number(&combo, 500), 5);
    EXPECT_EQ(select_combo_item_by_text(&combo, "abc"), 2);
    EXPECT_EQ(combo.currentIndex(), 2);
    EXPECT_EQ(select_combo_item_by_prefix(&combo, "abd"), 3);
    EXPECT_EQ(select_combo_item_by_suffix(&combo, ".sig"), 4);
    EXPECT_EQ(combo.currentIndex(), 4);
    EXPECT_EQ(select_combo_item_by_text(&combo, "none"), -1);
    EXPECT_EQ(select_combo_item_by_number(&combo, 11), -1);
    EXPECT_EQ(select_combo_item_by_prefix(&combo, "x"), -1);
    EXPECT_EQ(combo.currentIndex(), 4);
}

class FitTableColumnsTest : public ::testing::Test
{
protected:
    FitTableColumnsTest()
    {
        table.setObjectName("table");
        table.setColumnCount(3);
        table.setHorizontalHeaderLabels({"Name", "Value", "Unit"});
        table.resize(500, 200);
        table.show();
    }

    int total_width() const
    {
        int total = 0;
        for (int c = 0; c < table.columnCount(); ++c)
            total += table.horizontalHeader()->sectionSize(c);
        return total;
    }

    QTableWidget table;
};

TEST_F(FitTableColumnsTest, SpreadsContentWidthsOverTheVisibleWidth)
{
    table.setRowCount(2);
    table.setItem(0, 0, new QTableWidgetItem("a rather long signal name here"));
    table.setItem(1, 1, new QTableWidgetItem("12"));
    table.setItem(0, 2, new QTableWidgetItem("km/h"));
    fit_table_columns(&table);
    QHeaderView *header = table.horizontalHeader();
    EXPECT_EQ(total_width(), table.viewport()->width());
    EXPECT_GT(header->sectionSize(0), header->sectionSize(1));
    for (int c = 0; c < 3; ++c)
        EXPECT_GE(header->sectionSize(c), 20);
}

TEST_F(FitTableColumnsTest, WithoutRowsScalesThePresentWidths)
{
    table.horizontalHeader()->resizeSection(0, 100);
    table.horizontalHeader()->resizeSection(1, 300);
    table.horizontalHeader()->resizeSection(2, 100);
    table.resize(260, 200);
    fit_table_columns(&table);
    const int visible = table.viewport()->width();
    EXPECT_EQ(table.horizontalHeader()->sectionSize(1), 300 * visible / 500);
    EXPECT_EQ(total_width(), visible);
}

} // namespace
