// The main window's settings actions, online help, about box and
// configuration description: the interface settings commands by menu id,
// the font size, the help viewer driven through a recording stand-in, the
// built help file, and the description of real configurations.
#include "app/dialog_describe_config.h"
#include "app/shell/vyr_app_state.h"
#include "app/vyr_help_viewer.h"
#include "app/vyr_main.h"
#include "demo_fixture.h"
#include "settings/qtb_config.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "test_paths.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/vyr_data_window.h"
#include "windows/trace/vyr_trace.h"
#include "tests/app/form_test_support.h"
#include "tests/core/signal_if_test_support.h"
#include "tests/interfaces/can_test_support.h" // the CAN types' hooks, as the program runs them

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <vector>

namespace {

// The preferences go to a folder of this test, set before anything reads them.
QTemporaryDir &config_home()
{
    static QTemporaryDir dir;
    return dir;
}

const bool config_home_set = [] {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_home().path()));
    return true;
}();

// --- Interface settings by menu id ---------------------------------------------------------

// What the interfaces of the recording type were asked, and whether the
// type makes one.
QStringList recorded_calls;
bool creation_fails = false;
bool configure_reports_change = false;

class RecordingInterface : public vyr_test::TestInterface
{
public:
    RecordingInterface(QObject *owner, VyrSignalIfNotification *notification)
        : TestInterface(owner, notification, "RECORDING")
    {}
    void init_new() override { recorded_calls << "init_new"; }
    bool configure(QWidget *) override
    {
        recorded_calls << "configure";
        return configure_reports_change;
    }
};

std::unique_ptr<VyrSignalIf> create_recording(QtbConfigGroup *, QObject *owner, VyrSignalIfNotification *notification)
{
    if (creation_fails)
        return nullptr;
    return std::make_unique<RecordingInterface>(owner, notification);
}

VyrSignalIfType recording_type("RECORDING", "Recording", "records what it is asked", create_recording);

int registry_position(const VyrSignalIfType *wanted)
{
    int k = 0;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next(), ++k)
        if (type == wanted)
            return k;
    return -1;
}

int interface_count()
{
    int count = 0;
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        ++count;
    return count;
}

TEST(SettingsActions, ShowConfigDialogCreatesOrConfiguresByIdAndMarksTheConfiguration)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    creation_fails = false;
    create_signal_if("RECORDING", nullptr, &window, window.signal_if_notification()).release();
    const int type_id = 2000 + registry_position(&recording_type);
    // The existing interface is the only one: position 0.
    ASSERT_EQ(interface_count(), 1);

    const struct
    {
        int id;
        bool fails;
        bool reports_change;
        QStringList calls;
        bool modified;
        int interfaces_added;
    } cases[] = {
        {type_id, false, false, {"init_new", "configure"}, true, 1},
        // Creation that makes nothing still counts as a change.
        {type_id, true, false, {}, true, 0},
        {1000, false, true, {"configure"}, true, 0},
        {1000, false, false, {"configure"}, false, 0},
        {1999, false, true, {}, false, 0},
        {2990, false, true, {}, false, 0},
        {999, false, true, {}, false, 0},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.id);
        creation_fails = row.fails;
        configure_reports_change = row.reports_change;
        recorded_calls.clear();
        window.configuration().set_modified(false);
        const int before = interface_count();
        window.show_config_dialog(row.id);
        EXPECT_EQ(recorded_calls, row.calls);
        EXPECT_EQ(window.configuration_modified(), row.modified);
        EXPECT_EQ(interface_count() - before, row.interfaces_added);
    }
    creation_fails = false;
}

TEST(SettingsActions, ChangeFontSizeSetsTheApplicationFontOnlyForItsIds)
{
    const QFont original = QApplication::font();
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.change_font_size(5012);
    EXPECT_EQ(QApplication::font().pointSize(), 12);
    EXPECT_EQ(window.menuBar()->font().pointSize(), 12);
    for (int id : {12, 5000, 4999, 5990}) {
        window.change_font_size(id);
        EXPECT_EQ(QApplication::font().pointSize(), 12) << id;
    }
    QApplication::setFont(original);
}

// --- Online help ---------------------------------------------------------------------------

// A program folder of the test's own with a stand-in help viewer that logs
// its arguments (one line per start) and every line of its input, and the
// English and Japanese help collections (empty files: only their presence counts).
class HelpViewer : public ::testing::Test
{
protected:
    HelpViewer()
    {
        const QString script = dir.filePath("assistant");
        QFile file(script);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n"
                   "dir=$(dirname \"$0\")\n"
                   "echo \"$*\" >> \"$dir/args.log\"\n"
                   "while IFS= read -r line; do echo \"$line\" >> \"$dir/input.log\"; done\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        for (const char *code : {"en", "ja_jp"}) {
            const QString help_dir = dir.filePath(QStringLiteral("help/vyr/") + code);
            QDir().mkpath(help_dir);
            QFile collection(help_dir + "/vyr_" + code + ".qhc");
            EXPECT_TRUE(collection.open(QIODevice::WriteOnly));
        }
        vyr_app_state().program_directory = dir.path();
        vyr_app_state().help_language = 1;
        vyr_app_state().help_language_mask = installed_help_languages(dir.path());
    }
    ~HelpViewer() override
    {
        vyr_app_state().program_directory.clear();
        vyr_app_state().help_language = 0;
        vyr_app_state().help_language_mask = 0;
    }

    QStringList lines(const char *log) const
    {
        QFile file(dir.filePath(log));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // Waits until the log has that many lines; they are then returned.
    QStringList wait_for(const char *log, int count) const
    {
        static_cast<void>(QTest::qWaitFor([&] { return lines(log).size() >= count; }, 5000));
        return lines(log);
    }
    QString collection(const char *code) const
    {
        return dir.filePath(QStringLiteral("help/vyr/") + code + "/vyr_" + code + ".qhc");
    }
    QString viewer_arguments(const char *code) const
    {
        return "-collectionFile " + collection(code) + " -enableRemoteControl";
    }

    QTemporaryDir dir;
};

QAction *help_entry(VyrMain &window, const QString &text)
{
    for (QAction *action : window.menus().menu_help->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

TEST_F(HelpViewer, ContentsStartsTheViewerOnTheCollectionAndShowsTheIntroduction)
{
    EXPECT_EQ(vyr_app_state().help_language_mask, 0b0110u); // English and Japanese
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QAction *contents = help_entry(window, "&Contents");
    ASSERT_NE(contents, nullptr);
    contents->trigger();
    EXPECT_EQ(wait_for("args.log", 1), QStringList{viewer_arguments("en")});
    EXPECT_EQ(wait_for("input.log", 1), QStringList{"setSource qthelp://vyr.help/doc/Introduction.html"});

    // The running viewer gets the next page; it is not started again.
    window.activate_help_context("CanTraceWindow");
    EXPECT_EQ(wait_for("input.log", 2).value(1), "setSource qthelp://vyr.help/doc/CanTraceWindow.html");
    EXPECT_EQ(lines("args.log").size(), 1);
}

TEST_F(HelpViewer, ThePreferencesHelpButtonOfTheRealMainWindowShowsItsPage)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    emit window.menus().menu_settings->aboutToShow();
    QAction *preferences = nullptr;
    for (QAction *action : window.menus().menu_settings->actions())
        if (action->text() == "&Preferences")
            preferences = action;
    ASSERT_NE(preferences, nullptr);
    form_test::when_modal([](QWidget *dialog) {
        dialog->findChild<QPushButton *>("pb_help")->click();
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    });
    preferences->trigger();
    EXPECT_EQ(wait_for("input.log", 1), QStringList{"setSource qthelp://vyr.help/doc/OptionsDialog.html"});
}

TEST_F(HelpViewer, ALanguageWithoutCollectionUsesTheEnglishOne)
{
    for (int language : {5, 0, 3}) {
        SCOPED_TRACE(language);
        vyr_app_state().help_language = language;
        VyrHelpViewer viewer(dir.path(), language);
        EXPECT_EQ(viewer.arguments().join(' '), viewer_arguments("en"));
        EXPECT_EQ(viewer.program(), dir.filePath("assistant"));
    }
    EXPECT_EQ(VyrHelpViewer::language_code(5), "other");
    VyrHelpViewer japanese(dir.path(), 2);
    EXPECT_EQ(japanese.arguments().join(' '), viewer_arguments("ja_jp"));
}

TEST_F(HelpViewer, ChoosingALanguageReplacesTheViewerAndStoresThePreference)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.help_contents();
    wait_for("input.log", 1);
    QProcess &first = window.help_viewer()->process();
    ASSERT_EQ(first.state(), QProcess::Running);
    const qint64 first_pid = first.processId();

    // Through the language menu, as the user chooses.
    QMenu *languages = window.menus().menu_help_language;
    ASSERT_NE(languages, nullptr);
    emit languages->aboutToShow();
    QAction *japanese = nullptr;
    for (QAction *action : languages->actions())
        if (action->text() == "Japanese")
            japanese = action;
    ASSERT_NE(japanese, nullptr);
    japanese->trigger();
    EXPECT_EQ(vyr_app_state().help_language, 2);
    // The old viewer has ended with its launcher.
    EXPECT_NE(::kill(pid_t(first_pid), 0), 0);

    window.activate_help_context("TriggerList");
    EXPECT_EQ(wait_for("args.log", 2).value(1), viewer_arguments("ja_jp"));
    EXPECT_EQ(wait_for("input.log", 2).value(1), "setSource qthelp://vyr.help/doc/TriggerList.html");

    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import configparser, sys\n"
                  "c = configparser.ConfigParser()\n"
                  "c.read(sys.argv[1])\n"
                  "print(c['V1']['OnlineHelpLanguage'])\n",
                  QDir(config_home().path()).filePath("ORVANDEL/Vyr.conf")});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput().trimmed(), "2") << python.readAllStandardError().toStdString();
}

TEST_F(HelpViewer, AKilledViewerIsStartedAgainByTheNextRequest)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.activate_help_context("InterfaceList");
    wait_for("input.log", 1);
    QProcess &process = window.help_viewer()->process();
    ::kill(pid_t(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(5000));

    window.activate_help_context("CanBitrateDialog");
    EXPECT_EQ(wait_for("args.log", 2).size(), 2);
    EXPECT_EQ(wait_for("input.log", 2).value(1), "setSource qthelp://vyr.help/doc/CanBitrateDialog.html");
}

// Every help key the program asks for: the key of each registered window
// type's window, and every key that a source file of the program hands to
// activate_help_context or set_help_key. An emit that hands over anything
// but a quoted key or the window's own key is reported, so that no key can
// escape the walk.
QStringList help_keys_of_the_program()
{
    QStringList keys{"Introduction"}; // the Contents entry of the Help menu
    for (DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next()) {
        std::unique_ptr<VyrDataWindow> window(type->factory()(nullptr, nullptr));
        EXPECT_FALSE(window->help_key().isEmpty()) << type->class_key();
        keys << window->help_key();
    }
    const QRegularExpression quoted_key(
        R"re((?:activate_help_context|set_help_key)\(\s*QStringLiteral\("(\w+)"\)\s*\))re");
    const QRegularExpression any_emit(R"re(emit\s+activate_help_context\(([^;]*)\);)re");
    const QDir root(vyr_test::source_dir());
    for (const char *folder : {"app", "core", "forms", "interfaces", "widgets", "windows"}) {
        QDirIterator files(root.filePath(folder), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            const QString text = QString::fromUtf8(file.readAll());
            for (auto match = quoted_key.globalMatch(text); match.hasNext();)
                keys << match.next().captured(1);
            for (auto match = any_emit.globalMatch(text); match.hasNext();) {
                const QString argument = match.next().captured(1).trimmed();
                EXPECT_TRUE(argument.startsWith("QStringLiteral(\"") || argument == "m_help_key")
                    << file.fileName().toStdString() << ": a help key the walk cannot read: "
                    << argument.toStdString();
            }
        }
    }
    keys.removeDuplicates();
    return keys;
}

// The built help file holds a page with a heading and text for every key the
// program asks for, read from outside with Python's sqlite3.
TEST(HelpFile, EveryHelpKeyOfTheProgramIsANonEmptyPageOfTheBuiltHelp)
{
    const QString help_file = vyr_test::bin_dir() + "/help/vyr/en/vyr_en.qch";
    ASSERT_TRUE(QFile::exists(help_file));
    ASSERT_TRUE(QFile::exists(vyr_test::bin_dir() + "/help/vyr/en/vyr_en.qhc"));
    const QStringList keys = help_keys_of_the_program();
    // The windows' keys and those of the dialogs: the walk finds both kinds.
    EXPECT_TRUE(keys.contains("GraphicWindow") && keys.contains("SignalSelectionDialog")) << keys.join(' ').toStdString();
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import re, sqlite3, sys, zlib\n"
                  "db = sqlite3.connect(sys.argv[1])\n"
                  "rows = db.execute('SELECT n.Name, d.Data FROM FileNameTable n '\n"
                  "                  'JOIN FileDataTable d ON n.FileId = d.Id WHERE d.Data IS NOT NULL')\n"
                  "for name, data in rows:\n"
                  "    html = zlib.decompress(data[4:]).decode()\n"
                  "    body = re.sub('<[^>]+>', '', html.split('<body>')[1])\n"
                  "    if '<h1>' in html and len(body.split()) > 10:\n"
                  "        print(name)\n",
                  help_file});
    ASSERT_TRUE(python.waitForFinished(30000));
    const QStringList pages = QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    for (const QString &key : keys)
        EXPECT_TRUE(pages.contains(key + ".html")) << key.toStdString();
}

// --- About box -----------------------------------------------------------------------------

TEST(AboutBox, NamesTheProgramVersionQtAndQwt)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QString text;
    form_test::when_modal([&text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->objectName(), "about_box");
        text = box->text();
        box->grab().save(QDir::tempPath() + QStringLiteral("/vyr_about_box.png"));
        box->button(QMessageBox::Ok)->click();
    });
    help_entry(window, "&About...")->trigger();
    EXPECT_TRUE(text.contains("Vyr " VYR_VERSION " (built ")) << text.toStdString();
    EXPECT_TRUE(text.contains(qVersion()));
    EXPECT_TRUE(text.contains(QRegularExpression("Qwt \\d+\\.\\d+\\.\\d+")));
    EXPECT_TRUE(text.contains("Qwt License"));
}

// --- Configuration description -------------------------------------------------------------

// The date paragraph of a description, checked to be the time it was made.
QString expect_date_paragraph(const QString &description)
{
    const QRegularExpressionMatch date = QRegularExpression("<p>([^<]*)</p>").match(description);
    EXPECT_TRUE(date.hasMatch());
    const QDateTime made = QDateTime::fromString(date.captured(1), Qt::TextDate);
    EXPECT_TRUE(made.isValid()) << date.captured(1).toStdString();
    EXPECT_LE(std::abs(made.secsTo(QDateTime::currentDateTime())), 60);
    return date.captured(0);
}

TEST(DescribeConfig, AnEmptyConfigurationGivesTheFiveFixedParts)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    const QString description = window.configuration_description();
    EXPECT_EQ(description,
              "<h1>Configuration</h1>" + expect_date_paragraph(description) +
                  "<h2>Interfaces</h2><hr><h2>Active Windows</h2><hr>");
}

class DemoDescription : public DemoFixture
{
protected:
    // Runs the File menu's entry and returns the plain text the dialog shows.
    QString describe_from_the_menu(const char *picture)
    {
        QString shown;
        form_test::when_modal([&shown, picture](QWidget *modal) {
            auto *dialog = qobject_cast<DialogDescribeConfig *>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowIcon().pixmap(32, 32).size(), QSize(32, 32));
            shown = dialog->text_view->toPlainText();
            if (picture)
                dialog->grab().save(QDir::tempPath() + "/" + picture);
            dialog->pb_close->click();
        });
        window.menus().id_describe_config->trigger();
        return shown;
    }
};

TEST_F(DemoDescription, TheDemoDescribesItsInterfaceThenItsWindowsInOrder)
{
    ASSERT_EQ(window.load_configuration(&config), 0);
    auto *can = dynamic_cast<VyrCanIf *>(get_first_signal_if());
    ASSERT_NE(can, nullptr);
    ASSERT_EQ(can->next(), nullptr);
    // The demo's windows, in the order the file makes them: the tune, then the trace.
    std::vector<VyrDataWindow *> windows;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window())
        windows.push_back(w);
    ASSERT_EQ(windows.size(), 7u); // tune, trace, send, statistics, replay, panel and scope
    VyrDataWindow *trace = windows[1];
    EXPECT_NE(dynamic_cast<VyrTrace *>(trace), nullptr);
    QString window_texts;
    for (VyrDataWindow *w : windows)
        window_texts += w->description_text();
    const QString description = window.configuration_description();
    EXPECT_EQ(description, "<h1>Configuration</h1>" + expect_date_paragraph(description) + "<h2>Interfaces</h2>" +
                               can->info_text() + "<hr><h2>Active Windows</h2>" + window_texts + "<hr>");
    EXPECT_TRUE(can->info_text().startsWith("<h3>Interface \"CAN 1\"</h3>"));
    EXPECT_TRUE(trace->description_text().startsWith("<h3>Window \"Trace 1\"</h3>"));
    EXPECT_TRUE(std::any_of(windows.begin(), windows.end(), [](VyrDataWindow *w) {
        return w->description_text().startsWith("<h3>Window \"CanSend 1\"</h3>");
    }));

    EXPECT_TRUE(window.menus().id_describe_config->isEnabled());
    const QString shown = describe_from_the_menu("vyr_describe_config.png");
    EXPECT_TRUE(shown.contains(QRegularExpression("Configuration\\n.*\\nInterfaces\\nInterface \"CAN 1\"")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains("Window \"Trace 1\""));
}

// Names go into the page as text: markup characters in them neither vanish
// nor swallow what follows.
TEST_F(DemoDescription, NamesWithMarkupCharactersShowAsTyped)
{
    ASSERT_EQ(window.load_configuration(&config), 0);
    get_first_signal_if()->set_name("a<b&c");
    const QString shown = describe_from_the_menu(nullptr);
    EXPECT_TRUE(shown.contains("Interface \"a<b&c\"")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("CAN Interface: a<b&c"));
    EXPECT_TRUE(shown.contains("Active Windows"));
    EXPECT_TRUE(shown.contains("Window \"Trace 1\""));
}

} // namespace
