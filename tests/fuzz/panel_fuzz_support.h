#pragma once
// What the panel readers' fuzz targets share: the offscreen application the
// panels need, and the panel read from a panel file's text.
#include "windows/panel/panel_file.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace panel_fuzz {

// A panel with a fixed caption (the caption is written; a new panel's
// default one counts the open panels).
inline std::unique_ptr<VyrPanel> new_panel()
{
    auto panel = std::make_unique<VyrPanel>(nullptr);
    panel->setCaption(QStringLiteral("fuzz"));
    return panel;
}

// The application, with one item of every kind made once: the font and
// style caches they fill stay for the process and are no leak of an input.
inline void start_application()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    const std::unique_ptr<VyrPanel> panel = new_panel();
    for (PanelItemTypeInfo *type = PanelItemTypeInfo::first(); type; type = type->next())
        panel->insert_new_item(type->name());
    panel_file_text(*panel);
}

// The panel that the text gives, or null when the reader refuses it.
inline std::unique_ptr<VyrPanel> read_panel(const QByteArray &text)
{
    std::unique_ptr<VyrPanel> panel = new_panel();
    PanelFileReader reader(panel.get());
    if (!reader.parse(text, QStringLiteral("fuzz.ui")))
        return nullptr;
    panel->adopt_items(reader.take_items());
    return panel;
}

// A panel saves what it reads back: the saved text reads and saves again to
// the same bytes. Aborts (a finding) otherwise.
inline void check_saves_what_it_reads_back(const VyrPanel &panel)
{
    const std::string saved = panel_file_text(panel);
    const std::unique_ptr<VyrPanel> copy = read_panel(QByteArray::fromStdString(saved));
    if (!copy || panel_file_text(*copy) != saved)
        std::abort();
}

} // namespace panel_fuzz
