// The panel window: its panel file (writing, reading, refusals that leave the
// panel as it was, failed saves), its configuration section, the enabling
// rules of its buttons, captions, close questions and interface messages.
#include "core/vyr_question.h"
#include "settings/qtb_config.h"
#include "test_support.h"
#include "windows/panel/panel_file.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_panel_window.h"
#include "windows/panel/vyr_script_activation.h"
#include "xmllint_check.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A kind of item with what the file must carry: persistent properties of
// several types (a uint among them), an activation group with a filled and an
// empty list, and two signal bindings.
class TestButtonItem : public VyrPanelItem
{
public:
    explicit TestButtonItem(QWidget *parent)
    {
        auto *button = new QPushButton(QStringLiteral("Button"), parent);
        button->setObjectName(QStringLiteral("button%1").arg(id()));
        button->setProperty("counter", QVariant(uint(7)));
        set_widget(button);
        auto group = std::make_unique<VyrScriptActivationGroup>();
        group->add_list(std::make_unique<VyrScriptActivationList>(QStringLiteral("clicked"), QStringLiteral("On Button Clicked")));
        group->add_list(std::make_unique<VyrScriptActivationList>(QStringLiteral("pressed"), QStringLiteral("On Button Pressed")));
        set_activation_group(std::move(group));
        add_binding(std::make_unique<PanelSignalBinding>(this));
        add_binding(std::make_unique<PanelSignalBinding>(this));
    }
};

const PanelItemTypeInfo test_button_type(
    "TestButton", [](QWidget *parent, uint32_t) -> VyrPanelItem * { return new TestButtonItem(parent); },
    PanelItemTypeInfo::Control, "name,geometry,text,font,paletteForegroundColor,enabled,counter,", 0);

// Answers questions from a list and records them.
struct Questions
{
    QStringList texts;
    QList<int> answers;
    Questions()
    {
        set_vyr_question_function([this](QWidget *, const QString &, const QString &text, const QStringList &buttons,
                                         VyrQuestionIcon) {
            texts << text;
            return answers.isEmpty() ? int(buttons.size()) - 1 : answers.takeFirst();
        });
    }
    ~Questions() { set_vyr_question_function({}); }
};

QByteArray read_file(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write_file(const QString &name, const QByteArray &data)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// A panel with two test items: a non-ASCII text, names that XML must escape,
// actions with an empty list and two bindings with their own values.
void fill(VyrPanel &panel)
{
    VyrPanelItem *first = panel.insert_new_item(QStringLiteral("TestButton"));
    ASSERT_NE(first, nullptr);
    first->widget()->setProperty("text", QStringLiteral("Grüße 温度 <&>"));
    first->widget()->setGeometry(20, 30, 110, 40);
    auto *clicked = first->activation_group()->find_list(QStringLiteral("clicked"));
    clicked->add_entry(std::make_unique<VyrScriptActivationEntry>(QStringLiteral("CAN1"), QStringLiteral("on<&>action"), first->id()));
    clicked->add_entry(std::make_unique<VyrScriptActivationEntry>(QStringLiteral("CAN2"), QStringLiteral("second"), first->id()));
    PanelSignalBinding &binding = *first->bindings()[0];
    binding.set_names(QStringLiteral("CAN1"), QStringLiteral("Engine.Speed&<x>"));
    binding.override_range = true;
    binding.range_minimum = -2.5;
    binding.range_maximum = 1e7;
    first->bindings()[1]->set_names(QStringLiteral("CAN2"), QStringLiteral("Temp"));
    first->bindings()[1]->default_value_valid = true;
    first->bindings()[1]->default_value = 0.125;
    VyrPanelItem *second = panel.insert_new_item(QStringLiteral("TestButton"));
    QPalette palette = second->widget()->palette();
    palette.setColor(QPalette::WindowText, QColor(0x12, 0x34, 0x56));
    second->widget()->setPalette(palette);
    second->widget()->setEnabled(false);
    panel.adopt_items({});
}

// The panel that the configuration section written by this one makes.
std::unique_ptr<VyrPanel> configuration_copy(VyrPanel &panel)
{
    QtbConfig config;
    panel.write_configuration(&config);
    return std::unique_ptr<VyrPanel>(static_cast<VyrPanel *>(VyrPanel::create(nullptr, config.get_group("panel"))));
}

struct TempFolder
{
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
};

} // namespace

TEST(PanelFile, EmptyPanelMatchesTheGoldenFileAndEscapesTheCaption)
{
    VyrPanel panel(nullptr);
    panel.setCaption(QStringLiteral("Two words"));
    const std::string text = panel_file_text(panel);
    EXPECT_EQ(QByteArray::fromStdString(text), read_file(vyr_test::source_dir() + "/tests/panel/data/empty_panel.ui"));
    EXPECT_NE(text.find("<class>Two&#32;words</class>"), std::string::npos);
}

TEST(PanelFile, SavedPanelReadsBackToTheSameBytesAndIsValidXml)
{
    TempFolder tmp;
    const QString name = tmp.path("round.ui");
    VyrPanel panel(nullptr);
    fill(panel);
    panel.set_filename(name);
    ASSERT_TRUE(panel.save_panel_to_file());
    const QByteArray saved = read_file(name);
    EXPECT_TRUE(saved.contains("on&#60;&#38;&#62;action"));
    EXPECT_TRUE(saved.contains("Engine.Speed&#38;&#60;x&#62;"));
    EXPECT_TRUE(saved.contains("<action_list name=\"pressed\">\n      </action_list>"));
    EXPECT_TRUE(saved.contains("<uint>7</uint>"));

    VyrPanel copy(nullptr);
    ASSERT_TRUE(copy.read_panel_from_file(name));
    ASSERT_EQ(copy.items().size(), 2u);
    EXPECT_EQ(copy.items()[0]->widget()->property("text").toString(), QStringLiteral("Grüße 温度 <&>"));
    EXPECT_EQ(copy.items()[0]->widget()->geometry(), QRect(20, 30, 110, 40));
    EXPECT_FALSE(copy.items()[1]->widget()->isEnabled());
    EXPECT_EQ(QByteArray::fromStdString(panel_file_text(copy)), saved);

    EXPECT_EQ(xmllint_refusal(name), QString());

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, xml.etree.ElementTree as E\n"
                                 "w = E.parse(sys.argv[1]).getroot().find('widget').findall('widget')\n"
                                 "print(' '.join(x.get('vyr-class') for x in w))\n"
                                 "print(' '.join(s.get('index') for s in w[0].findall('signal')))\n"
                                 "print(w[0].find('actions')[0][0][1][0].text)\n"),
                  name});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput(), QByteArray("TestButton TestButton\n0 1\non<&>action\n"))
        << python.readAllStandardError().toStdString();
}

// One item of every row of the registry on a panel captioned "Two words": a
// push button whose "clicked" list has an entry and whose other lists are
// empty, a horizon with two bindings, a label with a non-ASCII text. Saved,
// read into a new panel and saved again, the files are equal; xmllint takes
// both, and Python's parser finds every kind and its signal indexes.
TEST(PanelFile, OneItemOfEachRowSavesReadsAndSavesToTheSameBytes)
{
    TempFolder tmp;
    const QString first_name = tmp.path("first.ui");
    const QString second_name = tmp.path("second.ui");
    VyrPanel panel(nullptr);
    QStringList expected_widgets;
    for (PanelItemTypeInfo *type = PanelItemTypeInfo::first(); type; type = type->next()) {
        VyrPanelItem *item = panel.insert_new_item(type->name());
        ASSERT_NE(item, nullptr) << type->name().toStdString();
        QStringList indexes;
        for (size_t k = 0; k < item->bindings().size(); ++k)
            indexes << QString::number(k);
        expected_widgets << type->name() + QLatin1Char(':') + indexes.join(QLatin1Char(','));
        const QString name = type->name();
        if (name == QLatin1String("PushButton")) {
            item->activation_group()->find_list(QStringLiteral("clicked"))->add_entry(
                std::make_unique<VyrScriptActivationEntry>(QStringLiteral("CAN1"), QStringLiteral("Go"), item->id()));
        } else if (name == QLatin1String("Horizont")) {
            ASSERT_EQ(item->bindings().size(), 2u);
            item->bindings()[0]->set_names(QStringLiteral("CAN1"), QStringLiteral("motohawk.ExampleMessage.Temperature"));
            item->bindings()[0]->override_range = true;
            item->bindings()[0]->range_maximum = 350.5;
            item->bindings()[1]->set_names(QStringLiteral("CAN2"), QStringLiteral("Gradient"));
            item->bindings()[1]->default_value_valid = true;
            item->bindings()[1]->default_value = -0.25;
        } else if (name == QLatin1String("TextLabel")) {
            item->widget()->setProperty("text", QStringLiteral("Grüße 温度 ½"));
        } else if (name == QLatin1String("ComboBox")) {
            item->widget()->setProperty("items", QStringList{QStringLiteral("one"), QStringLiteral("two words")});
        }
        item->widget()->move(10 * int(panel.items().size()), 5 * int(panel.items().size()));
    }
    panel.adopt_items({});
    panel.set_filename(first_name);
    panel.setCaption(QStringLiteral("Two words"));
    ASSERT_TRUE(panel.save_panel_to_file());
    const QByteArray saved = read_file(first_name);
    EXPECT_TRUE(saved.contains("<class>Two&#32;words</class>"));
    EXPECT_TRUE(saved.contains("<action_list name=\"pressed\">\n      </action_list>"));

    VyrPanel copy(nullptr);
    ASSERT_TRUE(copy.read_panel_from_file(first_name));
    ASSERT_EQ(copy.items().size(), panel.items().size());
    copy.set_filename(second_name);
    copy.setCaption(QStringLiteral("Two words"));
    ASSERT_TRUE(copy.save_panel_to_file());
    EXPECT_EQ(read_file(second_name), saved);

    for (const QString &name : {first_name, second_name})
        EXPECT_EQ(xmllint_refusal(name), QString()) << name.toStdString();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, xml.etree.ElementTree as E\n"
                                 "root = E.parse(sys.argv[1]).getroot()\n"
                                 "print(root.find('class').text)\n"
                                 "for w in root.find('widget').findall('widget'):\n"
                                 "    print(w.get('vyr-class') + ':' + ','.join(s.get('index') for s in w.findall('signal')))\n"),
                  second_name});
    ASSERT_TRUE(python.waitForFinished(30000));
    const QString output = QString::fromUtf8(python.readAllStandardOutput());
    EXPECT_EQ(output, QStringLiteral("Two words\n") + expected_widgets.join(QLatin1Char('\n')) + QLatin1Char('\n'))
        << python.readAllStandardError().toStdString();
}

TEST(PanelFile, RefusedFilesLeaveTheOpenPanelAsItWas)
{
    TempFolder tmp;
    VyrPanel source(nullptr);
    fill(source);
    const QByteArray good = QByteArray::fromStdString(panel_file_text(source));
    const QString kept_name = tmp.path("kept.ui");
    write_file(kept_name, good);

    VyrPanel panel(nullptr);
    ASSERT_TRUE(panel.read_panel_from_file(kept_name));
    ASSERT_EQ(panel.items().size(), 2u);
    QSignalSpy errors(&panel, &VyrDataWindow::signal_log_message_error);
    const QString name = tmp.path("bad.ui");
    const auto expect_refused = [&](const QByteArray &data, const QString &what) {
        write_file(name, data);
        EXPECT_FALSE(panel.read_panel_from_file(name)) << what.toStdString();
        EXPECT_EQ(panel.items().size(), 2u) << what.toStdString();
        EXPECT_EQ(panel.get_filename(), kept_name) << what.toStdString();
    };
    // Every cut before the end of the root element is an error.
    const int complete = good.indexOf("</UI>") + 5;
    for (int size = 0; size < complete; ++size)
        expect_refused(good.left(size), QStringLiteral("cut at %1").arg(size));
    EXPECT_EQ(errors.size(), complete);
    EXPECT_TRUE(errors.last().at(0).toString().contains(QStringLiteral("Error in panel file '%1', line ").arg(name)));

    expect_refused("<!DOCTYPE UI><UI version=\"3.0\"><widget class=\"QWidget\"><property></widget></property></UI>\n",
                   QStringLiteral("bad nesting"));
    expect_refused("<UI version=\"3.0\"><class>a&#0;b</class></UI>\n", QStringLiteral("&#0;"));
    errors.clear();
    expect_refused("<?xml version=\"1.0\"?>\n<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><body>"
                   "<p>page</p></body></html>\n",
                   QStringLiteral("XHTML"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].at(0).toString(),
              QStringLiteral("Error in %1: File '%2' is not a panel file.\n").arg(panel.caption(), name));
}

TEST(PanelFile, OddButWellFormedFilesAreReadAsFarAsTheyMakeSense)
{
    TempFolder tmp;
    VyrPanel source(nullptr);
    fill(source);
    QByteArray text = QByteArray::fromStdString(panel_file_text(source));
    // A binding index outside the list and an action list the kind lacks are skipped.
    text.replace("<signal index=\"1\">", "<signal index=\"-1\">");
    text.replace("<action_list name=\"clicked\">", "<action_list name=\"unknown\">");
    const QString name = tmp.path("odd.ui");
    write_file(name, text);
    VyrPanel panel(nullptr);
    ASSERT_TRUE(panel.read_panel_from_file(name));
    ASSERT_EQ(panel.items().size(), 2u);
    VyrPanelItem &item = *panel.items()[0];
    EXPECT_TRUE(item.activation_group()->find_list(QStringLiteral("clicked"))->entries().empty());
    EXPECT_TRUE(item.bindings()[1]->signal_name().isEmpty());
    EXPECT_EQ(item.bindings()[0]->signal_name(), QStringLiteral("Engine.Speed&<x>"));
    // The uint property is written but not read back.
    EXPECT_EQ(item.widget()->property("counter").toUInt(), 7u);

    // A UI 4.0-style form holds no item this panel knows.
    write_file(name, "<?xml version=\"1.0\"?>\n<ui version=\"4.0\"><class>Form</class><widget class=\"QWidget\" "
                     "name=\"Form\"><widget class=\"QPushButton\" name=\"b\"/></widget></ui>\n");
    EXPECT_FALSE(panel.read_panel_from_file(name));
    write_file(name, "<UI version=\"4.0\"><widget class=\"QWidget\"><widget class=\"QPushButton\"/></widget></UI>\n");
    EXPECT_TRUE(panel.read_panel_from_file(name));
    EXPECT_EQ(panel.items().size(), 2u);
}

// A known element where it does not belong refuses the file: the panel keeps
// what it had, false is answered and the message gives the line and column.
// An element the reader does not know is skipped with its contents.
TEST(PanelFile, ElementsOutOfPlaceRefuseTheFileAndTheMessageSaysWhere)
{
    TempFolder tmp;
    VyrPanel source(nullptr);
    fill(source);
    const QString kept_name = tmp.path("kept.ui");
    write_file(kept_name, QByteArray::fromStdString(panel_file_text(source)));
    VyrPanel panel(nullptr);
    ASSERT_TRUE(panel.read_panel_from_file(kept_name));
    QSignalSpy errors(&panel, &VyrDataWindow::signal_log_message_error);

    const QString fixture = vyr_test::source_dir() + "/tests/panel/data/widget_in_actions.ui";
    EXPECT_FALSE(panel.read_panel_from_file(fixture));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].at(0).toString(),
              QStringLiteral("Error in %1: Error in panel file '%2', line 6, column 17: element 'widget' does not "
                             "belong in 'actions'\n")
                  .arg(panel.caption(), fixture));
    EXPECT_EQ(panel.items().size(), 2u);
    EXPECT_EQ(panel.get_filename(), kept_name);

    const QByteArray head = "<!DOCTYPE UI><UI version=\"3.0\"><widget class=\"QWidget\">";
    const QByteArray tail = "</widget></UI>\n";
    const QByteArray button = "<widget class=\"QPushButton\" vyr-class=\"PushButton\">";
    const struct
    {
        QByteArray body;
        const char *message;
    } refused[] = {
        {button + "<actions><property name=\"sif\"><string>x</string></property></actions></widget>",
         "element 'property' does not belong in 'actions'"},
        {button + "<actions><action_entry/></actions></widget>", "element 'action_entry' does not belong in 'actions'"},
        {button + "<actions><action_list name=\"clicked\"><signal/></action_list></actions></widget>",
         "element 'signal' does not belong in 'action_list'"},
        {button + "<string>text</string></widget>", "element 'string' does not belong in 'widget'"},
        {button + button + "</widget></widget>", "element 'widget' does not belong in 'widget'"},
        {button + "<property name=\"geometry\"><x>1</x></property></widget>",
         "element 'x' does not belong in 'property'"},
        {button + "<property name=\"geometry\"><rect><se>1</se></rect></property></widget>",
         "element 'se' does not belong in 'rect'"},
        {button + "<signal index=\"0\"><actions/></signal></widget>", "element 'actions' does not belong in 'signal'"},
        {button + "<property name=\"text\"><string>a<b/>c</string></property></widget>", "Expected character data."},
        {"<UI/>", "element 'UI' does not belong in 'widget'"},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.body.toStdString());
        const QString name = tmp.path("refused.ui");
        write_file(name, head + c.body + tail);
        errors.clear();
        EXPECT_FALSE(panel.read_panel_from_file(name));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].at(0).toString().contains(QLatin1String(c.message)))
            << errors[0].at(0).toString().toStdString();
        EXPECT_EQ(panel.items().size(), 2u);
    }

    // Unknown elements are skipped whole, with the known ones inside them.
    const QString name = tmp.path("unknown.ui");
    write_file(name, head + "<images><widget/><actions/></images>" + button + "<hint><string/></hint></widget>" + tail);
    EXPECT_TRUE(panel.read_panel_from_file(name));
    EXPECT_EQ(panel.items().size(), 3u);
}

// x = 2147483647 with a width of 100 would overflow the rectangle's right
// edge: the geometry is held within the screen coordinates, as the
// configuration reader holds it, and saves and reads back as held.
TEST(PanelFile, GeometryBeyondTheScreenIsHeldWithinIt)
{
    TempFolder tmp;
    VyrPanel panel(nullptr);
    ASSERT_TRUE(panel.read_panel_from_file(vyr_test::source_dir() + "/tests/panel/data/huge_geometry.ui"));
    ASSERT_EQ(panel.items().size(), 1u);
    const QRect held(32767, -32767, 100, 32767);
    EXPECT_EQ(panel.items()[0]->widget()->geometry(), held);

    const std::unique_ptr<VyrPanel> copy = configuration_copy(panel);
    ASSERT_EQ(copy->items().size(), 1u);
    EXPECT_EQ(copy->items()[0]->widget()->geometry(), held);
}

// Control characters (a typed caption, a text) and names with bytes from
// 0x80 up: the saved file is XML that xmllint takes, it reads back to the
// same panel and a second save writes the same bytes.
TEST(PanelFile, ControlCharactersAndNonAsciiNamesReadBackTheSame)
{
    TempFolder tmp;
    const QString name = tmp.path("controls.ui");
    const QString caption = QStringLiteral("Cap") + QChar(2) + QStringLiteral("tion");
    const QString text = QStringLiteral("a") + QChar(1) + QStringLiteral("b\tc") + QChar(0x1A) + QStringLiteral("温");
    const QString widget_name = QStringLiteral("Anzeige_é_温");
    const QStringList items{QStringLiteral("x") + QChar(3) + QStringLiteral("y")};
    VyrPanel panel(nullptr);
    panel.setCaption(caption);
    VyrPanelItem *button = panel.insert_new_item(QStringLiteral("TestButton"));
    button->widget()->setProperty("text", text);
    button->widget()->setObjectName(widget_name);
    button->bindings()[0]->set_names(QStringLiteral("CAN1"), QStringLiteral("Temp°C"));
    button->activation_group()
        ->find_list(QStringLiteral("clicked"))
        ->add_entry(
            std::make_unique<VyrScriptActivationEntry>(QStringLiteral("CAN1"), QStringLiteral("Größe"), button->id()));
    panel.insert_new_item(QStringLiteral("ComboBox"))->widget()->setProperty("items", items);
    panel.adopt_items({});
    const QByteArray saved = QByteArray::fromStdString(panel_file_text(panel));
    write_file(name, saved);

    EXPECT_EQ(xmllint_refusal(name), QString());

    VyrPanel copy(nullptr);
    ASSERT_TRUE(copy.read_panel_from_file(name));
    ASSERT_EQ(copy.items().size(), 2u);
    QWidget *read_button = copy.items()[0]->widget();
    EXPECT_EQ(read_button->property("text").toString(), text);
    EXPECT_EQ(read_button->objectName(), widget_name);
    EXPECT_EQ(copy.items()[0]->bindings()[0]->signal_name(), QStringLiteral("Temp°C"));
    EXPECT_EQ(copy.items()[0]->activation_group()->find_list(QStringLiteral("clicked"))->entries()[0]->action_name(),
              QStringLiteral("Größe"));
    EXPECT_EQ(copy.items()[1]->widget()->property("items").toStringList(), items);
    // The caption is not read back: the panel takes its file's name.
    copy.setCaption(caption);
    EXPECT_EQ(QByteArray::fromStdString(panel_file_text(copy)), saved);

    // A panel kept in the configuration keeps the name as it is too.
    const std::unique_ptr<VyrPanel> kept = configuration_copy(panel);
    ASSERT_EQ(kept->items().size(), 2u);
    EXPECT_EQ(kept->items()[0]->widget()->objectName(), widget_name);
}

TEST(PanelFile, AFailedSaveKeepsTheOldFileAndModifiedAndRefusesTheClose)
{
    TempFolder tmp;
    const QString name = tmp.path("panel.ui");
    VyrPanel panel(nullptr);
    panel.set_filename(name);
    ASSERT_TRUE(panel.save_panel_to_file());
    const QByteArray old = read_file(name);
    fill(panel);
    panel.set_modified(true);
    panel.show();
    Questions questions;
    {
        vyr_test::FileSizeLimit limit(old.size() + 10);
        questions.answers = {0, 0}; // Yes, save; then OK on the error
        EXPECT_FALSE(panel.close());
        questions.answers = {0, 0};
        EXPECT_FALSE(panel.query_close());
    }
    EXPECT_EQ(questions.texts.last(), QStringLiteral("Unable to write file '%1'").arg(name));
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(panel.is_modified());
    EXPECT_EQ(read_file(name), old);

    if (geteuid() != 0) {
        QFile::setPermissions(tmp.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        questions.texts.clear();
        EXPECT_FALSE(panel.save_panel_to_file());
        EXPECT_EQ(questions.texts, QStringList{QStringLiteral("Unable to write file '%1'").arg(name)});
        EXPECT_EQ(read_file(name), old);
        QFile::setPermissions(tmp.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(PanelConfiguration, ControlsRoundTripByteForByte)
{
    TempFolder tmp;
    VyrPanel panel(nullptr);
    fill(panel);
    panel.items()[0]->widget()->setProperty("counter", QVariant(uint(9)));
    QtbConfig first;
    panel.write_configuration(&first);
    // An unregistered class among the items is skipped.
    QtbConfigGroup *controls = first.get_group("panel")->get_group("controls");
    controls->add_group("")->write_string("vyr-class", QStringLiteral("NoSuchKind"));
    ASSERT_EQ(first.write_file(tmp.path("first.cfg")), 0);

    QtbConfig read(tmp.path("first.cfg"));
    ASSERT_EQ(read.read(), 0);
    std::unique_ptr<VyrDataWindow> window(VyrPanel::create(nullptr, read.get_group("panel")));
    auto *copy = static_cast<VyrPanel *>(window.get());
    ASSERT_EQ(copy->items().size(), 2u);
    EXPECT_EQ(copy->items()[0]->widget()->property("counter").toUInt(), 0u);
    EXPECT_EQ(copy->items()[0]->widget()->property("text").toString(), QStringLiteral("Grüße 温度 <&>"));
    EXPECT_EQ(copy->items()[0]->activation_group()->lists()[0]->entries().size(), 2u);
    EXPECT_EQ(copy->items()[0]->bindings()[1]->default_value, 0.125);

    // uint values are not read back: give them their values again.
    copy->items()[0]->widget()->setProperty("counter", QVariant(uint(9)));
    copy->items()[1]->widget()->setProperty("counter", QVariant(uint(7)));
    QtbConfig second;
    copy->write_configuration(&second);
    second.get_group("panel")->get_group("controls")->add_group("")->write_string("vyr-class", QStringLiteral("NoSuchKind"));
    ASSERT_EQ(second.write_file(tmp.path("second.cfg")), 0);
    EXPECT_EQ(read_file(tmp.path("second.cfg")), read_file(tmp.path("first.cfg")));
}

TEST(PanelConfiguration, APanelFileIsStoredByNameAndRestoredFromTheUtf8Name)
{
    TempFolder tmp;
    const QString name = tmp.path("Größe.ui");
    VyrPanel panel(nullptr);
    fill(panel);
    panel.set_filename(name);
    ASSERT_TRUE(panel.save_panel_to_file());
    QtbConfig config;
    panel.write_configuration(&config);
    QtbConfigGroup *group = config.get_group("panel");
    EXPECT_EQ(group->get_group("controls"), nullptr);
    EXPECT_EQ(group->read_string_utf8("panelfile_utf8", QString()), name);
    std::unique_ptr<VyrDataWindow> window(VyrPanel::create(nullptr, group));
    auto *copy = static_cast<VyrPanel *>(window.get());
    EXPECT_EQ(copy->get_filename(), name);
    EXPECT_EQ(copy->items().size(), 2u);
    EXPECT_EQ(copy->caption(), QStringLiteral("Panel <%1>").arg(name));
}

TEST(PanelConfiguration, AnEditedImportIsKeptAsControls)
{
    VyrPanel panel(nullptr);
    fill(panel);
    panel.set_filename(QStringLiteral("imported.CNP"));
    QtbConfig by_name;
    panel.write_configuration(&by_name);
    EXPECT_EQ(by_name.get_group("panel")->read_string("panelfile", QString()), QStringLiteral("imported.CNP"));
    panel.set_modified(true);
    QtbConfig edited;
    panel.write_configuration(&edited);
    QtbConfigGroup *group = edited.get_group("panel");
    EXPECT_EQ(group->find_entry("panelfile"), nullptr);
    ASSERT_NE(group->get_group("controls"), nullptr);
    EXPECT_EQ(group->get_group("controls")->count(), 2);
}

TEST(PanelWindow, ButtonsFollowLockAndMeasurement)
{
    VyrPanel panel(nullptr);
    EXPECT_EQ(panel.findChild<VyrPanelWindow *>(QStringLiteral("panel_window")), panel.panel_window());
    EXPECT_EQ(panel.panel_window()->contents_size(), QSize(400, 350));
    EXPECT_EQ(panel.panel_window()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    struct Case
    {
        bool unlocked, running, has_file;
        bool grid, lock, save, open;
        QPalette::ColorRole background;
    };
    const Case cases[] = {
        {false, false, false, false, true, false, false, QPalette::Window},
        {true, false, false, true, true, true, true, QPalette::Dark},
        {true, false, true, true, true, true, true, QPalette::Dark},
        {true, true, true, false, false, false, false, QPalette::Window},
        {false, true, true, false, false, false, false, QPalette::Window},
    };
    for (const Case &c : cases) {
        panel.set_filename(c.has_file ? QStringLiteral("x.ui") : QString());
        panel.lock_button()->setChecked(c.unlocked);
        if (c.running)
            panel.startup();
        panel.state_changed();
        EXPECT_EQ(panel.is_locked(), !c.unlocked);
        EXPECT_EQ(panel.grid_button()->isEnabled(), c.grid);
        EXPECT_EQ(panel.lock_button()->isEnabled(), c.lock);
        EXPECT_EQ(panel.save_button()->isEnabled(), c.save);
        EXPECT_EQ(panel.open_button()->isEnabled(), c.open);
        EXPECT_EQ(panel.panel_window()->viewport()->backgroundRole(), c.background);
        if (c.running)
            panel.stop();
    }
    panel.lock_button()->setChecked(true);
    panel.set_filename(QStringLiteral("import.CnP"));
    panel.state_changed();
    EXPECT_FALSE(panel.save_button()->isEnabled());
}

// Save on a panel without a file asks for one and keeps the panel there from then on.
TEST(PanelWindow, SaveOnANewPanelAsksForItsFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const VyrPanel::Desktop saved = VyrPanel::desktop();
    static QString chosen;
    static int asked;
    chosen = dir.filePath(QStringLiteral("new_panel"));
    asked = 0;
    VyrPanel::desktop().choose_save_file = [](QWidget *, const QString &, const QString &) {
        ++asked;
        return chosen;
    };
    VyrPanel panel(nullptr);
    panel.show();
    panel.lock_button()->setChecked(true);
    ASSERT_NE(panel.insert_new_item(QStringLiteral("TestButton")), nullptr);
    QSignalSpy changed(&panel, &VyrDataWindow::configuration_changed);
    QTest::mouseClick(panel.save_button(), Qt::LeftButton);
    VyrPanel::desktop() = saved;
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(QFileInfo(panel.get_filename()).absoluteFilePath(), chosen + QStringLiteral(".ui"));
    EXPECT_TRUE(QFile::exists(chosen + QStringLiteral(".ui")));
    EXPECT_EQ(panel.caption(), QStringLiteral("Panel <%1>").arg(panel.get_filename()));
    EXPECT_FALSE(changed.isEmpty()) << "the configuration now keeps the file's name";
    EXPECT_TRUE(panel.save_button()->isEnabled());
}

TEST(PanelWindow, CaptionsAndSnapping)
{
    VyrPanel first(nullptr), second(nullptr);
    EXPECT_EQ(first.caption(), QStringLiteral("panel 1"));
    EXPECT_EQ(second.caption(), QStringLiteral("panel 2"));
    QSignalSpy changed(&first, &VyrDataWindow::configuration_changed);
    first.set_filename(QStringLiteral("a.ui"));
    first.set_filename(QStringLiteral("a.ui"));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(first.caption(), QStringLiteral("Panel <a.ui>"));
    first.set_filename(QStringLiteral("b.cnp"));
    EXPECT_EQ(first.caption(), QStringLiteral("Panel <a.ui>"));
    first.clear_panel_file();
    EXPECT_EQ(first.caption(), QStringLiteral("panel 1"));
    EXPECT_EQ(first.snap_to_grid(QPoint(14, 15)), QPoint(10, 20));
    EXPECT_EQ(first.insert_new_item(QStringLiteral("NoSuchKind")), nullptr);
    EXPECT_TRUE(first.items().empty());
}

TEST(PanelWindow, CloseQuestions)
{
    struct Case
    {
        int items;
        bool modified_file;
        QList<int> answers;
        bool closes;
        int questions;
    };
    const Case cases[] = {
        {5, false, {}, true, 0},      {6, false, {1}, false, 1}, {6, false, {0}, true, 1},
        {1, true, {2}, false, 1},     {1, true, {1}, true, 1},   {6, true, {1, 0}, true, 1},
    };
    TempFolder tmp;
    for (const Case &c : cases) {
        Questions questions;
        questions.answers = c.answers;
        VyrPanel panel(nullptr);
        for (int n = 0; n < c.items; ++n)
            panel.insert_new_item(QStringLiteral("TestButton"));
        if (c.modified_file) {
            panel.set_filename(tmp.path("close.ui"));
            panel.set_modified(true);
        }
        panel.show();
        EXPECT_EQ(panel.close(), c.closes) << c.items;
        EXPECT_EQ(questions.texts.size(), c.questions) << c.items;
    }
    // While measuring the window stays.
    VyrPanel running(nullptr);
    running.show();
    running.startup();
    EXPECT_FALSE(running.close());
    running.stop();
}

TEST(PanelWindow, InterfaceMessages)
{
    VyrPanel panel(nullptr);
    fill(panel);
    QSignalSpy infos(&panel, &VyrDataWindow::signal_log_message_info);
    QSignalSpy warnings(&panel, &VyrDataWindow::signal_log_message_warning);
    const QString prefix = panel.caption() + QStringLiteral(": ");
    panel.add_interface(QStringLiteral("CAN1"));
    panel.interface_configuration_changed(QStringLiteral("CAN2"));
    panel.remove_interface(QStringLiteral("CAN1"));
    QStringList info_texts, warning_texts;
    for (const auto &args : infos)
        info_texts << args.at(0).toString();
    for (const auto &args : warnings)
        warning_texts << args.at(0).toString();
    EXPECT_EQ(info_texts, (QStringList{prefix + "IfAdd: CAN1\n", prefix + "IfChanged: CAN2\n", prefix + "IfRemove: CAN1\n"}));
    const QStringList not_found = {"Action CAN1::on<&>action not found.\n", "Action CAN2::second not found.\n"};
    ASSERT_EQ(warning_texts.size(), 5);
    EXPECT_TRUE(warning_texts[0].endsWith(not_found[0]));
    EXPECT_TRUE(warning_texts[3].endsWith(not_found[1]));
    EXPECT_TRUE(warning_texts[4].endsWith("Action CAN1::on<&>action removed.\n"));
}
