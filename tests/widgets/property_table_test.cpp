#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "widgets/propertytable/qpropertytable.h"
#include "widgets/propertytable/vyr_property.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// One property of each kind, as a settings dialog would list them.
std::unique_ptr<VyrPropertyList> all_kinds()
{
    auto list = std::make_unique<VyrPropertyList>();
    auto baud = VyrProperty::VyrProperty_int("baudrate", 500);
    baud->set_unit("kBit/s");
    baud->set_description("bus speed");
    list->append(std::move(baud));
    list->append(VyrProperty::VyrProperty_bool("termination", true));
    list->append(VyrProperty::VyrProperty_double("sample_point", 0.123456789));
    list->append(VyrProperty::VyrProperty_string("card", QString::fromUtf8("Kanal \xc3\xa4")));
    auto mode = VyrProperty::VyrProperty_int("mode", 2);
    mode->add_choice("normal", 1);
    mode->add_choice("silent", 2);
    mode->add_choice("loopback", 4);
    list->append(std::move(mode));
    auto single = VyrProperty::VyrProperty_int("channel", 1);
    single->add_choice("only", 1);
    list->append(std::move(single));
    return list;
}

QString value_text(const QPropertyTable &table, int row)
{
    return table.item(row, 1)->text();
}

// Opens the editor of a row's value cell as a double click would.
QWidget *open_editor(QPropertyTable &table, int row)
{
    const QModelIndex index = table.model()->index(row, 1);
    table.setCurrentIndex(index);
    table.edit(index);
    return table.indexWidget(index);
}

// Types into a row's line editor and finishes the edit with Return.
void type_into(QPropertyTable &table, int row, const QString &text)
{
    auto *line_edit = qobject_cast<QLineEdit *>(open_editor(table, row));
    ASSERT_NE(line_edit, nullptr);
    line_edit->selectAll();
    QTest::keyClicks(line_edit, text);
    QTest::keyClick(line_edit, Qt::Key_Return);
}

// Picks an entry of a row's combo editor as the user would.
void choose(QPropertyTable &table, int row, const QString &text)
{
    auto *combo = qobject_cast<QComboBox *>(open_editor(table, row));
    ASSERT_NE(combo, nullptr);
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

} // namespace

TEST(VyrPropertyList, ConfigurationRoundTripKeepsTypesAndValues)
{
    std::unique_ptr<VyrPropertyList> written = all_kinds();
    QTemporaryDir dir;
    const QString path = dir.filePath("properties.cfg");
    {
        QtbConfig config(path);
        written->write_configuration(config.add_group("dll"));
        ASSERT_EQ(config.write(), 0);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray first_save = file.readAll();
    file.close();

    QtbConfig loaded(path);
    ASSERT_EQ(loaded.read(), 0);
    QtbConfigGroup *group = loaded.get_group("dll");
    ASSERT_NE(group, nullptr);
    group->write_int("unlisted", 7); // not a property: ignored

    // A list whose present values differ, and one property the file lacks.
    auto read = std::make_unique<VyrPropertyList>();
    read->append(VyrProperty::VyrProperty_int("baudrate", 0));
    read->append(VyrProperty::VyrProperty_bool("termination", false));
    read->append(VyrProperty::VyrProperty_double("sample_point", 0));
    read->append(VyrProperty::VyrProperty_string("card", ""));
    read->append(VyrProperty::VyrProperty_int("mode", 0));
    read->append(VyrProperty::VyrProperty_int("channel", 0));
    read->read_configuration(group);
    EXPECT_EQ(read->find("baudrate")->int_value(), 500);
    EXPECT_TRUE(read->find("termination")->bool_value());
    EXPECT_EQ(read->find("sample_point")->double_value(), 0.123456789);
    EXPECT_EQ(read->find("card")->string_value(), QString::fromUtf8("Kanal \xc3\xa4"));
    EXPECT_EQ(read->find("mode")->int_value(), 2);
    EXPECT_EQ(read->find("unlisted"), nullptr);
    for (int i = 0; i < read->count(); ++i)
        EXPECT_EQ(read->at(i)->type(), written->at(i)->type()) << i;

    // Saved again from what was read, the file is the same byte for byte.
    QtbConfig again(dir.filePath("again.cfg"));
    read->write_configuration(again.add_group("dll"));
    ASSERT_EQ(again.write(), 0);
    QFile second(dir.filePath("again.cfg"));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), first_save);

    // A property the group does not hold keeps its value; the type never
    // follows the stored entry (an int entry read into a double property).
    VyrPropertyList defaults;
    defaults.append(VyrProperty::VyrProperty_double("missing", 2.5));
    defaults.append(VyrProperty::VyrProperty_double("baudrate", 1.0));
    defaults.read_configuration(group);
    EXPECT_EQ(defaults.find("missing")->double_value(), 2.5);
    EXPECT_EQ(defaults.find("baudrate")->double_value(), 500.0);
    EXPECT_EQ(defaults.find("baudrate")->type(), VyrProperty::Double);
}

TEST(VyrPropertyList, FindAndDestroy)
{
    auto *list = new VyrPropertyList;
    list->append(VyrProperty::VyrProperty_int("a", 1));
    list->append(VyrProperty::VyrProperty_int("a", 2));
    EXPECT_EQ(list->find("a")->int_value(), 1); // the first of that name
    EXPECT_EQ(list->find("A"), nullptr);        // names compare with case
    auto property = VyrProperty::VyrProperty_int("b", 3);
    property->set_string_value("text");
    EXPECT_EQ(property->type(), VyrProperty::String);
    VyrPropertyList::destroy(list);
    EXPECT_EQ(list, nullptr);
}

TEST(QPropertyTable, ColumnsCellTextsAndEditorKinds)
{
    std::unique_ptr<VyrPropertyList> list = all_kinds();
    QPropertyTable table(nullptr, "properties");
    table.resize(400, 300);
    table.show();
    table.set_properties(list.get());

    ASSERT_EQ(table.columnCount(), 3);
    EXPECT_EQ(table.horizontalHeaderItem(0)->text(), "Name");
    EXPECT_EQ(table.horizontalHeaderItem(1)->text(), "Value");
    EXPECT_EQ(table.horizontalHeaderItem(2)->text(), "Unit");
    EXPECT_EQ(table.selectionMode(), QAbstractItemView::NoSelection);
    EXPECT_FALSE(table.verticalHeader()->isVisible());
    EXPECT_FALSE(table.horizontalHeader()->sectionsMovable());
    EXPECT_EQ(table.horizontalHeader()->sectionResizeMode(1), QHeaderView::Stretch);
    EXPECT_EQ(table.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);

    ASSERT_EQ(table.rowCount(), 6);
    EXPECT_EQ(table.item(0, 0)->text(), "baudrate");
    EXPECT_EQ(table.item(0, 2)->text(), "kBit/s");
    EXPECT_FALSE(table.item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(table.item(0, 2)->flags() & Qt::ItemIsEditable);

    struct Row
    {
        const char *text;
        const char *editor; // "combo", "int", "double" or "text"
        QStringList choices;
    };
    const Row rows[] = {
        {"500", "int", {}},
        {"On", "combo", {"On", "Off"}},
        {"0.123457", "double", {}},
        {"Kanal \xc3\xa4", "text", {}},
        {"silent", "combo", {"normal", "silent", "loopback"}},
        {"1", "int", {}}, // one choice: a plain number
    };
    for (int row = 0; row < 6; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(value_text(table, row), QString::fromUtf8(rows[row].text));
        QWidget *editor = open_editor(table, row);
        ASSERT_NE(editor, nullptr);
        const std::string kind = rows[row].editor;
        if (kind == "combo") {
            auto *combo = qobject_cast<QComboBox *>(editor);
            ASSERT_NE(combo, nullptr);
            QStringList texts;
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
            EXPECT_EQ(texts, rows[row].choices);
            EXPECT_EQ(combo->currentText(), QString::fromUtf8(rows[row].text));
        } else {
            auto *line_edit = qobject_cast<QLineEdit *>(editor);
            ASSERT_NE(line_edit, nullptr);
            EXPECT_FALSE(line_edit->hasFrame());
            EXPECT_EQ(line_edit->text(), QString::fromUtf8(rows[row].text));
            const QValidator *validator = line_edit->validator();
            if (kind == "int")
                EXPECT_NE(qobject_cast<const QIntValidator *>(validator), nullptr);
            else if (kind == "double")
                EXPECT_NE(qobject_cast<const QDoubleValidator *>(validator), nullptr);
            else
                EXPECT_EQ(validator, nullptr);
        }
        table.end_edit();
        EXPECT_EQ(table.indexWidget(table.model()->index(row, 1)), nullptr);
    }

    // A choice value that names none of the choices shows an empty cell.
    list->find("mode")->set_int_value(3);
    table.set_properties(list.get());
    EXPECT_EQ(table.rowCount(), 6);
    EXPECT_EQ(value_text(table, 4), "");
    table.set_properties(nullptr);
    EXPECT_EQ(table.rowCount(), 0);
}

TEST(QPropertyTable, EditsAreReadBackByType)
{
    std::unique_ptr<VyrPropertyList> list = all_kinds();
    QPropertyTable table;
    table.show();
    table.set_properties(list.get());

    type_into(table, 0, "1x2y5"); // letters are refused
    choose(table, 1, "Off");
    type_into(table, 2, "0.2q5"); // letters are refused here too
    type_into(table, 3, "CAN 2");
    choose(table, 4, "loopback");
    EXPECT_EQ(value_text(table, 0), "125");
    EXPECT_EQ(value_text(table, 1), "Off");

    bool changed = false;
    table.get_properties(list.get(), &changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(list->find("baudrate")->int_value(), 125);
    EXPECT_FALSE(list->find("termination")->bool_value());
    EXPECT_EQ(list->find("sample_point")->double_value(), 0.25);
    EXPECT_EQ(list->find("card")->string_value(), "CAN 2");
    EXPECT_EQ(list->find("mode")->int_value(), 4);

    // Any text but "On" is false; a text that names no choice changes nothing.
    list->find("termination")->set_bool_value(true);
    table.set_properties(list.get());
    table.item(1, 1)->setText("on");
    table.item(4, 1)->setText("fast");
    changed = false;
    table.get_properties(list.get(), &changed);
    EXPECT_TRUE(changed);
    EXPECT_FALSE(list->find("termination")->bool_value());
    EXPECT_EQ(list->find("mode")->int_value(), 4);
}

TEST(QPropertyTable, OpenEditIsTakenByGetProperties)
{
    std::unique_ptr<VyrPropertyList> list = all_kinds();
    QPropertyTable table;
    table.show();
    table.set_properties(list.get());
    auto *line_edit = qobject_cast<QLineEdit *>(open_editor(table, 2));
    ASSERT_NE(line_edit, nullptr);
    line_edit->selectAll();
    QTest::keyClicks(line_edit, "1e3");
    bool changed = false;
    table.get_properties(list.get(), &changed); // OK pressed with the editor still open
    EXPECT_TRUE(changed);
    EXPECT_EQ(list->find("sample_point")->double_value(), 1000.0);
}

TEST(QPropertyTable, NoEditChangesNothing)
{
    std::unique_ptr<VyrPropertyList> list = all_kinds();
    list->append(VyrProperty::VyrProperty_double("ten_digits", 1234.567891));
    list->append(VyrProperty::VyrProperty_double("large", 12345678901.0));
    QPropertyTable table;
    table.set_properties(list.get());
    EXPECT_EQ(value_text(table, 7), "1.23457e+10");

    // An editor opened and left unchanged counts as no edit.
    table.show();
    open_editor(table, 6);
    bool changed = false;
    table.get_properties(list.get(), &changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(list->find("sample_point")->double_value(), 0.123456789);
    EXPECT_EQ(list->find("ten_digits")->double_value(), 1234.567891);
    EXPECT_EQ(list->find("large")->double_value(), 12345678901.0);
}

TEST(QPropertyTable, RowWithoutPropertyWritesDebugLine)
{
    std::unique_ptr<VyrPropertyList> list = all_kinds();
    QPropertyTable table;
    table.set_properties(list.get());
    table.item(2, 0)->setText("gone");
    table.item(2, 1)->setText("9");

    set_debug_trace_enabled(true);
    testing::internal::CaptureStderr();
    bool changed = false;
    table.get_properties(list.get(), &changed);
    const std::string trace = testing::internal::GetCapturedStderr();
    set_debug_trace_enabled(false);
    EXPECT_NE(trace.find("QPropertyTable::get_properties: Property 'gone' not found"), std::string::npos) << trace;
    EXPECT_FALSE(changed);
    EXPECT_EQ(list->find("sample_point")->double_value(), 0.123456789);
}

TEST(QPropertyTable, DeleteIsSignalledAndF1GoesToTheParent)
{
    class HelpCatcher : public QWidget
    {
    public:
        int help_keys = 0;

    protected:
        void keyPressEvent(QKeyEvent *event) override
        {
            if (event->key() == Qt::Key_F1)
                ++help_keys;
        }
    };
    HelpCatcher parent;
    auto *table = new QPropertyTable(&parent);
    std::unique_ptr<VyrPropertyList> list = all_kinds();
    table->set_properties(list.get());
    parent.show();
    QSignalSpy deletes(table, &QPropertyTable::delete_key_pressed);
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(deletes.count(), 1);
    QTest::keyClick(table, Qt::Key_F1);
    EXPECT_EQ(parent.help_keys, 1);
    EXPECT_EQ(table->rowCount(), 6);
}
