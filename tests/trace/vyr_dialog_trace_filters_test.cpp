// The trace filter dialog and its form: the fresh state and focus chain,
// adding by literal and by database name with the covering check, ranges
// in order, delete, optimize to a fixed point, enabling, and the lists
// loaded and read back with their changed flag.
#include "test_paths.h"
#include "windows/trace/vyr_dialog_trace_filters.h"
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "core/candb_network.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/can/vyr_id_filter_list.h"
#include "vyr_test_shell.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

struct Range
{
    uint32_t start;
    uint32_t end;
    bool operator==(const Range &o) const { return start == o.start && end == o.end; }
};

std::vector<Range> ranges(VyrIdFilterList &list)
{
    std::vector<Range> out;
    for (VyrIdRange *r = list.first_range(); r; r = list.next_range())
        out.push_back({r->start, r->end});
    return out;
}

QStringList texts(QTreeWidget *list, int column = 0)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(column);
    return out;
}

class TraceFilterDialog : public ::testing::Test
{
protected:
    void add_single(const char *text)
    {
        dialog.cb_std_single_id->setCurrentText(QString::fromLatin1(text));
        dialog.pb_std_add_single->click();
    }
    void add_range(const char *a, const char *b)
    {
        dialog.cb_std_start_id->setCurrentText(QString::fromLatin1(a));
        dialog.cb_std_end_id->setCurrentText(QString::fromLatin1(b));
        dialog.pb_std_add_range->click();
    }
    std::vector<Range> standard()
    {
        VyrIdFilterList list(false, VyrIdFilterList::block_listed);
        dialog.get_filter_lists(&list, nullptr);
        return ranges(list);
    }

    VyrDialogTraceFilters dialog{nullptr, "trace_filters", true};
};

TEST_F(TraceFilterDialog, StartsEmptyWithItsFocusChain)
{
    EXPECT_EQ(dialog.windowTitle(), "Trace Filter List");
    EXPECT_EQ(dialog.FilterTabWidget->tabText(0), "Standard Identifiers (11bit)");
    EXPECT_EQ(dialog.FilterTabWidget->tabText(1), "Extended Identifiers (29bit)");
    for (QRadioButton *radio : {dialog.rb_std_pass, dialog.rb_std_block, dialog.rb_ext_pass, dialog.rb_ext_block})
        EXPECT_FALSE(radio->isChecked());
    EXPECT_FALSE(dialog.cb_std_filter_active->isChecked());
    EXPECT_FALSE(dialog.bg_std_id_list->isEnabled());
    EXPECT_FALSE(dialog.pb_std_delete->isEnabled());
    EXPECT_TRUE(dialog.cb_std_single_id->isEditable());
    EXPECT_EQ(dialog.cb_std_single_id->count(), 0);
    EXPECT_EQ(dialog.lv_std->headerItem()->text(1), "Symbolic Name");
    EXPECT_TRUE(dialog.pb_ok->isDefault());

    const char *chain[] = {"rb_ext_pass",     "rb_ext_block",     "cb_ext_single_id", "pb_ext_add_single",
                           "cb_ext_start_id", "cb_ext_end_id",    "pb_ext_add_range", "lv_ext",
                           "pb_ext_delete",   "pb_ok",            "pb_cancel",        "rb_std_pass",
                           "rb_std_block",    "cb_std_single_id", "pb_std_add_single", "cb_std_start_id",
                           "cb_std_end_id",   "pb_std_add_range", "lv_std",           "pb_std_delete",
                           "FilterTabWidget"};
    // The named controls in the order the focus chain meets them.
    const QStringList wanted = [&] {
        QStringList names;
        for (const char *name : chain)
            names << QString::fromLatin1(name);
        return names;
    }();
    QStringList met;
    QWidget *widget = dialog.findChild<QWidget *>(wanted.first());
    for (int steps = 0; steps < 500 && met.size() < wanted.size(); ++steps, widget = widget->nextInFocusChain())
        if (wanted.contains(widget->objectName()) && !met.contains(widget->objectName()))
            met << widget->objectName();
    EXPECT_EQ(met, wanted);
}

TEST_F(TraceFilterDialog, AddsSinglesAndRangesUnlessAnItemCoversThem)
{
    dialog.set_filters_active(true, false);
    add_single("5");
    add_range("3", "7");
    add_range("5", "5"); // covered by the item 5: selected, nothing added
    EXPECT_EQ(texts(dialog.lv_std), (QStringList{"5 (5H)", "3 ... 7 (3H ... 7H)"}));
    ASSERT_EQ(dialog.lv_std->selectedItems().size(), 1);
    EXPECT_EQ(dialog.lv_std->selectedItems().first()->text(0), "5 (5H)");
    EXPECT_TRUE(dialog.pb_std_delete->isEnabled());

    add_range("200", "100"); // stored in order
    add_range("9", "9");     // a single item
    add_single("1AH");       // hexadecimal
    add_single(" 1 ");       // blanks around the literal
    add_single("");          // nothing typed: nothing added, nothing said
    EXPECT_EQ(texts(dialog.lv_std), (QStringList{"5 (5H)", "3 ... 7 (3H ... 7H)", "100 ... 200 (64H ... c8H)",
                                                 "9 (9H)", "26 (1aH)", "1 (1H)"}));
    EXPECT_EQ(standard(), (std::vector<Range>{{5, 5}, {3, 7}, {100, 200}, {9, 9}, {26, 26}, {1, 1}}));

    // Deleting the last item: the next one goes to the end again.
    dialog.lv_std->setCurrentItem(dialog.lv_std->topLevelItem(5));
    dialog.pb_std_delete->click();
    add_single("427");
    EXPECT_EQ(texts(dialog.lv_std).last(), "427 (1abH)");
    EXPECT_EQ(dialog.lv_std->topLevelItemCount(), 6);
}

// A text that is neither an identifier literal of the page nor a message
// name adds nothing and says which forms are taken.
TEST_F(TraceFilterDialog, RefusesTextsThatNameNoIdentifier)
{
    dialog.set_filters_active(true, true);
    auto refusal = [this](QPushButton *button) {
        QString said;
        QTimer::singleShot(0, [&said] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            said = box->text();
            box->accept();
        });
        button->click();
        return said;
    };
    struct Case
    {
        const char *text;
        bool extended;
    };
    for (const Case &c :
         {Case{"0x100", false}, Case{"1A", false}, Case{"x", false}, Case{"ERR", false}, Case{"800h", false},
          Case{"20000000h", true}, Case{"4294967296", true}, Case{"1 00", true}, Case{"Message1", true}}) {
        SCOPED_TRACE(c.text);
        (c.extended ? dialog.cb_ext_single_id : dialog.cb_std_single_id)->setCurrentText(QString::fromLatin1(c.text));
        const QString said = refusal(c.extended ? dialog.pb_ext_add_single : dialog.pb_std_add_single);
        EXPECT_TRUE(said.startsWith(QStringLiteral("'%1' is neither an identifier nor a message name").arg(c.text)))
            << said.toStdString();
        for (const char *form : {"\"100h\"", "\"100x\"", "message"})
            EXPECT_TRUE(said.contains(QLatin1String(form))) << said.toStdString();
        EXPECT_EQ(dialog.lv_std->topLevelItemCount() + dialog.lv_ext->topLevelItemCount(), 0);
    }
    // In a range, either end refuses.
    dialog.cb_std_start_id->setCurrentText(QStringLiteral("10"));
    dialog.cb_std_end_id->setCurrentText(QStringLiteral("0x20"));
    EXPECT_FALSE(refusal(dialog.pb_std_add_range).isEmpty());
    EXPECT_EQ(dialog.lv_std->topLevelItemCount(), 0);

    // The forms the message names are taken.
    for (const Case &c : {Case{"7FFh", false}, Case{"100x", false}, Case{"1FFFFFFFhx", true}}) {
        (c.extended ? dialog.cb_ext_single_id : dialog.cb_std_single_id)->setCurrentText(QString::fromLatin1(c.text));
        EXPECT_TRUE(refusal(c.extended ? dialog.pb_ext_add_single : dialog.pb_std_add_single).isEmpty()) << c.text;
    }
    EXPECT_EQ(texts(dialog.lv_std), (QStringList{"2047 (7ffH)", "100 (64H)"}));
    EXPECT_EQ(texts(dialog.lv_ext), QStringList{"536870911 (1fffffffH)"});
}

TEST_F(TraceFilterDialog, OptimizeMergesUntilNothingChanges)
{
    struct Case
    {
        std::vector<Range> in;
        std::vector<Range> out;
    };
    const Case cases[] = {
        {{{1, 1}, {3, 3}, {2, 2}}, {{1, 3}}},
        {{{10, 20}, {1, 2}}, {{10, 20}, {1, 2}}},
        {{{1, 5}, {6, 9}}, {{1, 9}}},
        {{}, {}},
    };
    dialog.set_filters_active(true, false);
    for (const Case &c : cases) {
        VyrIdFilterList list(false, VyrIdFilterList::pass_listed);
        for (const Range &r : c.in)
            list.add_range(r.start, r.end);
        dialog.set_filter_lists(&list, nullptr);
        EXPECT_FALSE(dialog.changed());
        dialog.pb_std_optimize->click();
        EXPECT_TRUE(dialog.changed()) << "an optimize always counts as a change";
        EXPECT_EQ(standard(), c.out);
        EXPECT_TRUE(dialog.rb_std_pass->isChecked());
    }
}

TEST_F(TraceFilterDialog, ReportsChangesOfTheFilterTypeAndNoneAfterALoad)
{
    VyrIdFilterList standard_list(false, VyrIdFilterList::pass_listed);
    standard_list.add_range(256, 511);
    VyrIdFilterList extended_list(true, VyrIdFilterList::block_listed);
    extended_list.add_id(0x18FEF100);
    dialog.set_filter_lists(&standard_list, &extended_list);
    dialog.set_filters_active(true, true);
    EXPECT_EQ(texts(dialog.lv_std), QStringList{"256 ... 511 (100H ... 1ffH)"});
    EXPECT_EQ(texts(dialog.lv_std, 1), QStringList{""}) << "no database, no names";
    EXPECT_FALSE(dialog.get_filter_lists(&standard_list, &extended_list));

    dialog.rb_std_block->setChecked(true);
    EXPECT_TRUE(dialog.get_filter_lists(&standard_list, &extended_list));
    EXPECT_EQ(standard_list.filter_type(), int(VyrIdFilterList::block_listed));
    EXPECT_EQ(ranges(extended_list), (std::vector<Range>{{0x18FEF100, 0x18FEF100}}));

    dialog.cb_ext_filter_active->click();
    bool standard_active = false;
    bool extended_active = true;
    dialog.get_filters_active(standard_active, extended_active);
    EXPECT_TRUE(standard_active);
    EXPECT_FALSE(extended_active);
    EXPECT_FALSE(dialog.bg_ext_filter_type->isEnabled());
}

TEST_F(TraceFilterDialog, NamesComeFromTheInterfacesDatabase)
{
    const std::string dbc =
        vyr_test::configured_testdata_dir().toStdString() + "/dbc/cantools/tests/files/dbc/multiplex.dbc";
    if (!std::ifstream(dbc))
        GTEST_SKIP() << "shared test data not found: " << dbc;
    vyr_test::VyrTestShell shell;
    VyrCanIf can("CAN", &shell, &shell.notification);
    can.set_database_files({QString::fromStdString(dbc)});
    ASSERT_EQ(can.load_databases(), 0);
    dialog.set_database(&can);
    EXPECT_EQ(dialog.cb_std_single_id->count(), 0);
    ASSERT_EQ(dialog.cb_ext_single_id->count(), 1);
    EXPECT_EQ(dialog.cb_ext_end_id->itemText(0), "Message1");
    EXPECT_EQ(dialog.cb_ext_single_id->currentText(), "");

    dialog.set_filters_active(false, true);
    dialog.cb_ext_single_id->setCurrentText(QStringLiteral("Message1"));
    dialog.pb_ext_add_single->click();
    EXPECT_EQ(texts(dialog.lv_ext), QStringList{"1193046 (123456H)"});
    EXPECT_EQ(texts(dialog.lv_ext, 1), QStringList{"Message1"});
    dialog.cb_ext_start_id->setCurrentText(QStringLiteral("Message1"));
    dialog.cb_ext_end_id->setCurrentText(QStringLiteral("123457h"));
    dialog.pb_ext_add_range->click();
    EXPECT_EQ(texts(dialog.lv_ext, 1).last(), "Message1 ... ");
}

} // namespace
