#include "forms/dialog_options_base.h"
#include "app/shell/settings_store.h"
#include "app/vyr_dialog_options.h"
#include "app/vyr_main.h"
#include "tests/app/form_test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// The per-user settings find their folder once per process: point it at a
// folder of this test before anything reads settings.
QTemporaryDir &config_home()
{
    static QTemporaryDir dir;
    return dir;
}

const bool config_home_set = [] {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_home().path()));
    return true;
}();

const char *const option_keys[] = {"DontShowToolbuttonLabels", "DontDisplayCompileOKMessage",
                                   "DisableMemoryOptimization", "DisableSplashWindow", "DisableDisclaimerWindow"};

// The preferences as the file holds them, read independently of the store.
QSettings preferences_file()
{
    settings_store().sync();
    return QSettings(QDir(config_home().path()).filePath("ORVANDEL/Vyr.conf"), QSettings::IniFormat);
}

void clear_preferences()
{
    for (const char *key : option_keys)
        settings_store().write_bool(key, false);
    settings_store().sync();
    QSettings file(QDir(config_home().path()).filePath("ORVANDEL/Vyr.conf"), QSettings::IniFormat);
    file.remove("V1");
    file.sync();
    // The store must not keep the removed keys in its cache.
    settings_store().sync();
}

// A main widget that records the help pages asked for.
class HelpReceiver : public QWidget
{
    Q_OBJECT

public:
    QStringList keys;

public slots:
    void activate_help_context(const QString &key) { keys << key; }
};

// Opens the Settings menu as a user would and picks "&Preferences".
void choose_preferences(VyrMain &window)
{
    QMenu *settings = nullptr;
    for (QAction *action : window.menuBar()->actions())
        if (action->text() == "&Settings")
            settings = action->menu();
    ASSERT_NE(settings, nullptr);
    emit settings->aboutToShow();
    for (QAction *action : settings->actions())
        if (action->text() == "&Preferences")
            return action->trigger();
    FAIL() << "no Preferences entry";
}

VyrDialogOptions *options_dialog(QWidget *modal)
{
    auto *dialog = qobject_cast<VyrDialogOptions *>(modal);
    EXPECT_NE(dialog, nullptr);
    return dialog;
}

} // namespace

TEST(DialogOptionsBase, TextsLayoutAndButtons)
{
    DialogOptionsBase form;
    EXPECT_EQ(form.objectName(), "DialogOptionsBase");
    EXPECT_EQ(DialogOptionsBase(nullptr, "Preferences").objectName(), "Preferences");
    EXPECT_EQ(form.windowTitle(), "Options");
    EXPECT_FALSE(form.isSizeGripEnabled());
    form_test::expect_initial_size(&form, QSize(401, 229));
    form_test::expect_spacing(&form, "DialogOptionsBaseLayout", 11, 6);
    form_test::expect_spacing(&form, "Layout1", 0, 6);

    const form_test::TextRow rows[] = {
        {"cb_text_labels", "Show text labels on main toolbar buttons"},
        {"cb_compiler_ok_message", "Display message on successful compilation"},
        {"cb_disable_memory_optimization", "Disable memory optimization"},
        {"cb_disable_splash_window", "Don't show splash window"},
        {"cb_disable_disclaimer_window", "Don't show disclaimer window"},
        {"pb_help", "Help"},
        {"buttonOk", "OK"},
        {"buttonCancel", "Cancel"},
    };
    form_test::expect_texts(&form, rows);
    EXPECT_EQ(form_test::focus_order(&form,
                                     {"cb_text_labels", "cb_compiler_ok_message", "cb_disable_memory_optimization",
                                      "cb_disable_splash_window", "cb_disable_disclaimer_window", "pb_help", "buttonOk",
                                      "buttonCancel"}),
              QStringList({"cb_text_labels", "cb_compiler_ok_message", "cb_disable_memory_optimization",
                           "cb_disable_splash_window", "cb_disable_disclaimer_window", "pb_help", "buttonOk",
                           "buttonCancel"}));

    EXPECT_EQ(form.pb_help->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(form.buttonOk->shortcut().isEmpty());
    EXPECT_TRUE(form.buttonCancel->shortcut().isEmpty());
    EXPECT_TRUE(form.buttonOk->isDefault());
    EXPECT_FALSE(form.buttonCancel->isDefault());
    for (QPushButton *button : {form.pb_help, form.buttonOk, form.buttonCancel})
        EXPECT_TRUE(button->autoDefault()) << button->objectName().toStdString();

    const QStringList texts = form_test::all_texts(&form);
    ASSERT_TRUE(QMetaObject::invokeMethod(&form, "languageChange"));
    EXPECT_EQ(form_test::all_texts(&form), texts);
}

TEST(DialogOptionsBase, OkAcceptsCancelRejectsAndReturnTakesOk)
{
    for (const char *button : {"buttonOk", "buttonCancel"}) {
        DialogOptionsBase form;
        QTimer::singleShot(0, form.findChild<QPushButton *>(button), &QPushButton::click);
        EXPECT_EQ(form.exec(), QString(button) == "buttonOk" ? QDialog::Accepted : QDialog::Rejected) << button;
    }
    DialogOptionsBase form;
    form_test::when_modal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
    EXPECT_EQ(form.exec(), QDialog::Accepted);
}

TEST(VyrDialogOptions, AccessorsFollowTheirBoxesAndF1AsksForTheHelpPage)
{
    HelpReceiver main_widget;
    main_widget.show();
    VyrDialogOptions dialog(nullptr, "Preferences", true);
    using Set = void (VyrDialogOptions::*)(bool);
    using Get = bool (VyrDialogOptions::*)() const;
    const struct
    {
        QCheckBox *box;
        Set set;
        Get get;
    } accessors[] = {
        {dialog.cb_text_labels, &VyrDialogOptions::set_text_labels, &VyrDialogOptions::text_labels},
        {dialog.cb_compiler_ok_message, &VyrDialogOptions::set_compiler_ok_message,
         &VyrDialogOptions::compiler_ok_message},
        {dialog.cb_disable_memory_optimization, &VyrDialogOptions::set_disable_memory_optimization,
         &VyrDialogOptions::disable_memory_optimization},
        {dialog.cb_disable_splash_window, &VyrDialogOptions::set_disable_splash_window,
         &VyrDialogOptions::disable_splash_window},
        {dialog.cb_disable_disclaimer_window, &VyrDialogOptions::set_disable_disclaimer_window,
         &VyrDialogOptions::disable_disclaimer_window},
    };
    for (const auto &accessor : accessors) {
        for (bool on : {true, false}) {
            (dialog.*accessor.set)(on);
            EXPECT_EQ(accessor.box->isChecked(), on);
            accessor.box->setChecked(!on);
            EXPECT_EQ((dialog.*accessor.get)(), !on);
        }
    }

    // F1 presses Help, which asks the main widget for the page.
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QSignalSpy help(&dialog, &VyrDialogOptions::activate_help_context);
    QTest::keyClick(&dialog, Qt::Key_F1);
    // A shortcut clicks its button after a short animation.
    ASSERT_TRUE(QTest::qWaitFor([&help] { return help.count() == 1; }));
    EXPECT_EQ(help.at(0).at(0).toString(), "OptionsDialog");
    EXPECT_EQ(main_widget.keys, QStringList{"OptionsDialog"});
}

TEST(VyrMainPreferences, AFreshInstallationShowsTheTwoInvertedBoxesCheckedAndAcceptingUnchangedWritesNothing)
{
    clear_preferences();
    VyrMain window;
    bool shown = false;
    form_test::when_modal([&shown, &window](QWidget *modal) {
        VyrDialogOptions *dialog = options_dialog(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), "Preferences");
        EXPECT_TRUE(dialog->isModal());
        EXPECT_EQ(dialog->parentWidget(), &window);
        EXPECT_TRUE(dialog->text_labels());
        EXPECT_TRUE(dialog->compiler_ok_message());
        EXPECT_FALSE(dialog->disable_memory_optimization());
        EXPECT_FALSE(dialog->disable_splash_window());
        EXPECT_FALSE(dialog->disable_disclaimer_window());
        shown = true;
        dialog->buttonOk->click();
    });
    choose_preferences(window);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(preferences_file().childKeys().isEmpty());
    EXPECT_TRUE(preferences_file().allKeys().isEmpty());
}

TEST(VyrMainPreferences, AcceptWritesOnlyTheChangedKeysAndCancelNothing)
{
    // Each row: the stored preferences, the boxes the user clicks, and the
    // keys written after Accept.
    const struct
    {
        std::map<std::string, bool> stored;
        std::vector<const char *> clicked;
        std::map<std::string, bool> written;
    } cases[] = {
        {{}, {"cb_text_labels"}, {{"DontShowToolbuttonLabels", true}}},
        {{},
         {"cb_compiler_ok_message", "cb_disable_splash_window"},
         {{"DontDisplayCompileOKMessage", true}, {"DisableSplashWindow", true}}},
        {{{"DisableMemoryOptimization", true}, {"DisableDisclaimerWindow", true}},
         {"cb_disable_memory_optimization"},
         {{"DisableMemoryOptimization", false}, {"DisableDisclaimerWindow", true}}},
        {{{"DontShowToolbuttonLabels", true}}, {"cb_text_labels"}, {{"DontShowToolbuttonLabels", false}}},
        // Clicked twice: back where it was, nothing written.
        {{}, {"cb_disable_disclaimer_window", "cb_disable_disclaimer_window"}, {}},
    };
    for (const auto &row : cases) {
        for (bool accept : {true, false}) {
            SCOPED_TRACE(accept ? "accept" : "cancel");
            clear_preferences();
            for (const auto &[key, value] : row.stored)
                settings_store().write_bool(key.c_str(), value);
            VyrMain window;
            form_test::when_modal([&row, accept](QWidget *modal) {
                VyrDialogOptions *dialog = options_dialog(modal);
                ASSERT_NE(dialog, nullptr);
                for (const char *box : row.clicked)
                    QTest::mouseClick(dialog->findChild<QCheckBox *>(box), Qt::LeftButton);
                (accept ? dialog->buttonOk : dialog->buttonCancel)->click();
            });
            choose_preferences(window);

            std::map<std::string, bool> in_file;
            QSettings file = preferences_file();
            file.beginGroup("V1");
            for (const QString &key : file.childKeys())
                in_file[key.toStdString()] = file.value(key).toBool();
            EXPECT_EQ(in_file, accept ? row.written : row.stored);
        }
    }
}

TEST(VyrMainPreferences, TheToolButtonLabelsFollowTheirBoxAtOnce)
{
    clear_preferences();
    VyrMain window;
    auto *tool_bar = window.addToolBar("Toolbar");
    QAction *start = tool_bar->addAction(window.windowIcon(), "Start");
    auto *button = qobject_cast<QToolButton *>(tool_bar->widgetForAction(start));
    ASSERT_NE(button, nullptr);
    window.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    for (bool labels : {false, true}) {
        form_test::when_modal([labels](QWidget *modal) {
            VyrDialogOptions *dialog = options_dialog(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->set_text_labels(labels);
            dialog->buttonOk->click();
        });
        choose_preferences(window);
        EXPECT_EQ(button->toolButtonStyle(), labels ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        EXPECT_EQ(preferences_file().value("V1/DontShowToolbuttonLabels").toBool(), !labels);
    }

    // Cancelled, the labels stay as they are.
    form_test::when_modal([](QWidget *modal) {
        VyrDialogOptions *dialog = options_dialog(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->set_text_labels(false);
        dialog->buttonCancel->click();
    });
    choose_preferences(window);
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

#include "vyr_dialog_options_test.moc"
