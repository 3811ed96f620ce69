#include "app/shell/settings_store.h"
#include "app/vyr_dialog_options.h"
#include "app/vyr_main.h"

#include <QApplication>
#include <QFont>

namespace {

// One box of the preferences dialog and the preference it stands for; an
// inverted box is checked while its preference is false.
struct OptionSwitch
{
    const char *key;
    bool inverted;
    void (VyrDialogOptions::*set)(bool);
    bool (VyrDialogOptions::*get)() const;
};

const OptionSwitch option_switches[] = {
    {"DontShowToolbuttonLabels", true, &VyrDialogOptions::set_text_labels, &VyrDialogOptions::text_labels},
    {"DontDisplayCompileOKMessage", true, &VyrDialogOptions::set_compiler_ok_message,
     &VyrDialogOptions::compiler_ok_message},
    {"DisableMemoryOptimization", false, &VyrDialogOptions::set_disable_memory_optimization,
     &VyrDialogOptions::disable_memory_optimization},
    {"DisableSplashWindow", false, &VyrDialogOptions::set_disable_splash_window,
     &VyrDialogOptions::disable_splash_window},
    {"DisableDisclaimerWindow", false, &VyrDialogOptions::set_disable_disclaimer_window,
     &VyrDialogOptions::disable_disclaimer_window},
};
constexpr int option_count = sizeof option_switches / sizeof option_switches[0];

} // namespace

void VyrMain::display_options_dialog()
{
    SettingsStore &store = settings_store();
    VyrDialogOptions dialog(this, "Preferences", true);
    dialog.setWindowIcon(windowIcon());
    bool shown[option_count];
    for (int i = 0; i < option_count; ++i) {
        const OptionSwitch &option = option_switches[i];
        shown[i] = store.read_bool(option.key, false) != option.inverted;
        (dialog.*option.set)(shown[i]);
    }
    if (dialog.exec() != QDialog::Accepted)
        return;

    for (int i = 0; i < option_count; ++i) {
        const OptionSwitch &option = option_switches[i];
        const bool checked = (dialog.*option.get)();
        if (checked != shown[i])
            store.write_bool(option.key, checked != option.inverted);
    }
    // The first switch is the tool-button labels'.
    if (dialog.text_labels() != shown[0])
        setToolButtonStyle(dialog.text_labels() ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
}

void VyrMain::change_font_size(int id)
{
    constexpr int id_font_base = 5000;
    constexpr int id_range = 990;
    // 5000 itself would be a font of no size.
    if (id <= id_font_base || id >= id_font_base + id_range)
        return;
    QFont font = QApplication::font();
    font.setPointSize(id - id_font_base);
    // Every widget that keeps the application's font follows.
    QApplication::setFont(font);
}
