// The main window's menu bar, the menus rebuilt each time they open, the
// workspace context menu, the tool bar and show_state, which enables all of
// them by the measurement state. Menu items that carry a number (a recent
// file, an interface, an interface type) keep it as their action's data.
#include "app/vyr_main.h"

#include "app/settings_store.h"
#include "app/vyr_app_state.h"
#include "app/vyr_main_widgets.h"
#include "windows/base/data_window_type_info.h"
#include "windows/packet/vyr_rt_log.h"
#include "core/vyr_recent_list.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"

#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int id_message_dock = 1;
constexpr int id_interface_base = 1000;
constexpr int id_interface_type_base = 2000;
constexpr int ids_per_range = 990;

QAction *add_item(QMenu *menu, const QString &text, int id)
{
    QAction *action = menu->addAction(text);
    action->setData(id);
    return action;
}

QAction *with_shortcut(QAction *action, const QKeySequence &shortcut)
{
    action->setShortcut(shortcut);
    return action;
}

} // namespace

bool VyrMain::connect_to_slot(QObject *sender, const char *signal, const char *slot_signature)
{
    if (metaObject()->indexOfSlot(QMetaObject::normalizedSignature(slot_signature)) < 0)
        return false;
    const QByteArray slot = QByteArray::number(QSLOT_CODE) + slot_signature;
    return connect(sender, signal, this, slot.constData());
}

void VyrMain::connect_to_slot(QMenu *menu, const char *slot_name)
{
    const QByteArray name(slot_name);
    connect(menu, &QMenu::triggered, this, [this, name](QAction *action) {
        if (action->data().isValid())
            QMetaObject::invokeMethod(this, name.constData(), Q_ARG(int, action->data().toInt()));
    });
}

void VyrMain::build_menus()
{
    menu_file = menuBar()->addMenu(tr("&File"));
    menu_file->setObjectName(QStringLiteral("menu_file"));
    id_new = with_shortcut(menu_file->addAction(tr("&New Configuration")), QKeySequence(Qt::CTRL + Qt::Key_N));
    connect_to_slot(id_new, SIGNAL(triggered()), "new_configuration()");
    id_open = with_shortcut(menu_file->addAction(tr("&Open Configuration...")), QKeySequence(Qt::CTRL + Qt::Key_O));
    connect_to_slot(id_open, SIGNAL(triggered()), "load_configuration()");
    menu_reopen = menu_file->addMenu(tr("&Reopen..."));
    menu_reopen->setObjectName(QStringLiteral("menu_reopen"));
    connect(menu_reopen, &QMenu::aboutToShow, this, &VyrMain::build_reopen_menu);
    connect_to_slot(menu_reopen, "reopen_config");
    menu_file->addSeparator();
    id_save = with_shortcut(menu_file->addAction(tr("&Save Configuration")), QKeySequence(Qt::CTRL + Qt::Key_S));
    connect_to_slot(id_save, SIGNAL(triggered()), "save_configuration()");
    id_save_as = menu_file->addAction(tr("Save Configuration &As..."));
    connect_to_slot(id_save_as, SIGNAL(triggered()), "save_configuration_as()");
    menu_file->addSeparator();
    id_exit = menu_file->addAction(tr("E&xit"), this, &QWidget::close);

    menu_settings = menuBar()->addMenu(tr("&Settings"));
    menu_settings->setObjectName(QStringLiteral("menu_settings"));
    connect(menu_settings, &QMenu::aboutToShow, this, &VyrMain::build_settings_menu);

    menu_view = menuBar()->addMenu(tr("&View"));
    menu_view->setObjectName(QStringLiteral("menu_view"));
    connect(menu_view, &QMenu::aboutToShow, this, &VyrMain::build_view_menu);
    connect(menu_view, &QMenu::triggered, this,
            [this](QAction *action) { minimize_data_window(action->data().toInt()); });

    menu_measure = menuBar()->addMenu(tr("&Measure"));
    menu_measure->setObjectName(QStringLiteral("menu_measure"));
    id_compile =
        with_shortcut(menu_measure->addAction(tr("&Compile"), this, &VyrMain::compile), QKeySequence(Qt::Key_F8));
    id_start = with_shortcut(menu_measure->addAction(tr("&Start"), this, &VyrMain::start), QKeySequence(Qt::Key_F5));
    id_stop = with_shortcut(menu_measure->addAction(tr("Sto&p"), this, &VyrMain::stop), QKeySequence(Qt::Key_F6));
    id_stop->setEnabled(false);

    menu_window = menuBar()->addMenu(tr("&Window"));
    menu_window->setObjectName(QStringLiteral("menu_window"));
    connect(menu_window, &QMenu::aboutToShow, this, &VyrMain::build_window_menu);

    menu_workspace = menuBar()->addMenu(tr("Works&pace"));
    menu_workspace->setObjectName(QStringLiteral("menu_workspace"));
    id_create_workspace = menu_workspace->addAction(tr("&Create New Workspace"));
    connect_to_slot(id_create_workspace, SIGNAL(triggered()), "create_new_workspace()");
    id_rename_workspace = menu_workspace->addAction(tr("&Rename Current Workspace"));
    connect_to_slot(id_rename_workspace, SIGNAL(triggered()), "rename_current_workspace()");
    id_delete_workspace = menu_workspace->addAction(tr("&Delete Current Workspace"));
    connect_to_slot(id_delete_workspace, SIGNAL(triggered()), "delete_current_workspace()");
    connect(menu_workspace, &QMenu::aboutToShow, this, &VyrMain::build_workspace_menu);

    menu_help = menuBar()->addMenu(tr("&Help"));
    menu_help->setObjectName(QStringLiteral("menu_help"));
    const unsigned languages = vyr_app_state().help_language_mask;
    if (languages) {
        menu_help_language = menu_help->addMenu(tr("Language for Online Help"));
        menu_help_language->setObjectName(QStringLiteral("menu_help_language"));
        static const char *const names[4] = {"German", "English", "Japanese", "Chinese"};
        for (int language = 0; language < 4; ++language)
            if (languages & (1u << language))
                add_item(menu_help_language, tr(names[language]), language)->setCheckable(true);
        connect(menu_help_language, &QMenu::aboutToShow, this, &VyrMain::build_language_menu);
        connect_to_slot(menu_help_language, "set_language");
    }
    connect_to_slot(menu_help->addAction(tr("&Contents")), SIGNAL(triggered()), "help_contents()");
    connect_to_slot(menu_help->addAction(tr("&About...")), SIGNAL(triggered()), "info()");

    // clang-format off
    const std::pair<QAction *, const char *> named_actions[] = {
        {id_new, "id_new"},         {id_open, "id_open"},         {id_save, "id_save"},
        {id_save_as, "id_save_as"}, {id_exit, "id_exit"},         {id_compile, "id_compile"},
        {id_start, "id_start"},     {id_stop, "id_stop"},         {id_create_workspace, "id_create_workspace"},
        {id_rename_workspace, "id_rename_workspace"}, {id_delete_workspace, "id_delete_workspace"}};
    // clang-format on
    for (const auto &[action, name] : named_actions)
        action->setObjectName(QLatin1String(name));
}

void VyrMain::build_reopen_menu()
{
    menu_reopen->clear();
    const VyrRecentList &recent = config_lru();
    for (int i = 0; i < recent.count(); ++i)
        add_item(menu_reopen, QString::fromLocal8Bit(recent.at(i)), i);
}

void VyrMain::build_settings_menu()
{
    menu_settings->clear();
    connect_to_slot(menu_settings->addAction(tr("&Preferences")), SIGNAL(triggered()), "display_options_dialog()");
    connect_to_slot(with_shortcut(menu_settings->addAction(tr("Interface List")), QKeySequence(Qt::CTRL + Qt::Key_I)),
                    SIGNAL(triggered()), "show_module_list()");
    connect_to_slot(menu_settings->addAction(tr("Trigger Settings")), SIGNAL(triggered()), "show_trigger_settings()");
    menu_settings->addSeparator();
    QMenu *create_menu = menu_settings->addMenu(tr("Create new Interface"));
    create_menu->setObjectName(QStringLiteral("menu_create_interface"));
    connect_to_slot(create_menu, "show_config_dialog");
    menu_settings->addSeparator();

    int k = 0;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next(), ++k) {
        const QString type_name = QString::fromStdString(type->type_name());
        if (type->in_menu())
            add_item(create_menu, type_name + QLatin1Char(' ') + tr("Interface"), id_interface_type_base + k)
                ->setEnabled(type->enabled());
        QMenu *type_menu = menu_settings->addMenu(type_name + QLatin1Char(' ') + tr("Settings"));
        connect_to_slot(type_menu, "show_config_dialog");
        int position = 0;
        for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next(), ++position)
            if (interface->type_name() == type->type_name())
                add_item(type_menu, QString::fromStdString(interface->name()), id_interface_base + position);
        type_menu->setEnabled(!type_menu->isEmpty());
    }
}

void VyrMain::build_view_menu()
{
    if (view_menu_update_depth)
        return;
    menu_view->clear();
    QAction *dock = add_item(menu_view, message_dock->windowTitle(), id_message_dock);
    dock->setCheckable(true);
    dock->setChecked(message_dock->isVisible());
    menu_view->addSeparator();
}

void VyrMain::minimize_data_window(int id)
{
    if (id == id_message_dock)
        message_dock->setVisible(!message_dock->isVisible());
}

void VyrMain::build_window_menu()
{
    menu_window->clear();
    menu_window->addAction(tr("&Tile"), this, [this] {
        if (current_workspace)
            current_workspace->tileSubWindows();
    });
    menu_window->addAction(tr("&Cascade"), this, [this] {
        if (current_workspace)
            current_workspace->cascadeSubWindows();
    });
    connect_to_slot(menu_window->addAction(tr("&Standard Layout")), SIGNAL(triggered()), "standard_layout()");
    menu_window->addSeparator();
    QMenu *create = menu_window->addMenu(tr("Create &Window"));
    create->setObjectName(QStringLiteral("menu_create_window"));
    int k = 0;
    for (DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next(), ++k) {
        if (!type->listed())
            continue;
        QAction *action = create->addAction(tr(type->menu_name()));
        action->setEnabled(!measurement_running && type->enabled() && (type->flags() & 7) != 7);
        const int id = 3000 + k;
        connect(action, &QAction::triggered, this, [this, id] { create_data_window(id); });
    }
    menu_window->addSeparator();
}

void VyrMain::build_workspace_menu()
{
    id_delete_workspace->setEnabled(current_workspace_id != 0 && !measurement_running);
    id_create_workspace->setEnabled(!measurement_running);
    id_rename_workspace->setEnabled(!measurement_running);
}

void VyrMain::build_language_menu()
{
    for (QAction *action : menu_help_language->actions())
        action->setChecked(action->data().toInt() == vyr_app_state().help_language);
}

void VyrMain::display_workspace_context_menu(const QPoint &position)
{
    QMenu popup(this);
    popup.setObjectName(QStringLiteral("workspace_context_menu"));
    popup.addAction(tr("Tile"), current_workspace, &QMdiArea::tileSubWindows);
    popup.addAction(tr("Cascade"), current_workspace, &QMdiArea::cascadeSubWindows);
    connect_to_slot(popup.addAction(tr("Standard Layout")), SIGNAL(triggered()), "standard_layout()");
    popup.addSeparator();
    QAction *create = popup.addAction(tr("Create new Workspace"));
    connect_to_slot(create, SIGNAL(triggered()), "create_new_workspace()");
    create->setEnabled(!measurement_running);
    QAction *rename = popup.addAction(tr("Rename current Workspace"));
    connect_to_slot(rename, SIGNAL(triggered()), "rename_current_workspace()");
    rename->setEnabled(!measurement_running);
    QAction *remove = popup.addAction(tr("Delete current Workspace"));
    connect_to_slot(remove, SIGNAL(triggered()), "delete_current_workspace()");
    remove->setEnabled(current_workspace_id != 0 && !measurement_running);
    popup.addSeparator();
    popup.addMenu(tr("Create Window"));
    popup.exec(position);
}

void VyrMain::build_toolbar()
{
    if (!tool_bar) {
        tool_bar = new QToolBar(tr("Toolbar"), this);
        tool_bar->setObjectName(QStringLiteral("tool_bar"));
        addToolBar(Qt::TopToolBarArea, tool_bar);
        connect(tool_bar, &QToolBar::visibilityChanged, this, &VyrMain::build_toolbar);
    }
    // The tool bar owns its buttons' actions and separators; deleting an
    // action deletes its button.
    qDeleteAll(tool_bar->actions());
    auto add_button = [this](const char *name, QStyle::StandardPixmap icon, const QString &tip, const QString &label) {
        auto *button = new QToolButton(tool_bar);
        button->setObjectName(QLatin1String(name));
        button->setAutoRaise(true);
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(tip);
        button->setText(label);
        tool_bar->addWidget(button);
        return button;
    };
    button_new =
        add_button("button_new", QStyle::SP_FileIcon, tr("<p><h3>New</h3>Create new configuration.</p>"), tr("New"));
    connect_to_slot(button_new, SIGNAL(clicked()), "new_configuration()");
    button_open = add_button("button_open", QStyle::SP_DialogOpenButton,
                             tr("<p><h3>Load</h3>Load saved configuration from disk.</p>"), tr("Open"));
    connect_to_slot(button_open, SIGNAL(clicked()), "load_configuration()");
    button_save = add_button("button_save", QStyle::SP_DialogSaveButton,
                             tr("<p><h3>Save</h3>Save configuration to disk.</p>"), tr("Save"));
    connect_to_slot(button_save, SIGNAL(clicked()), "save_configuration()");
    tool_bar->addSeparator();
    button_interfaces =
        add_button("button_interfaces", QStyle::SP_ComputerIcon,
                   tr("<p><h3>Interfaces</h3>Displays the list of hardware interfaces.</p>"), tr("Interfaces"));
    connect_to_slot(button_interfaces, SIGNAL(clicked()), "show_module_list()");
    setToolButtonStyle(settings_store().read_bool("DontShowToolbuttonLabels", false) ? Qt::ToolButtonIconOnly
                                                                                     : Qt::ToolButtonTextUnderIcon);
    for (QToolButton *button : {button_new, button_open, button_save, button_interfaces})
        button->setToolButtonStyle(toolButtonStyle());
    tool_bar->addSeparator();
    for (DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next()) {
        if (!type->listed() || (type->flags() & 7) == 7)
            continue;
        const QString title = tr(type->title());
        auto *button = new QToolButton(tool_bar);
        button->setObjectName(QStringLiteral("button_create_") + QString::fromStdString(type->class_key()));
        button->setAutoRaise(true);
        if (type->icon())
            button->setIcon(QIcon(QPixmap(type->icon())));
        button->setToolTip(tr("<p><h3>%1</h3>Create a new %2</p>").arg(title, title));
        button->setText(tr(type->menu_name()));
        button->setToolButtonStyle(toolButtonStyle());
        button->setEnabled(type->enabled());
        const QString key = QString::fromStdString(type->class_key());
        connect(button, &QToolButton::clicked, this, [this, key] { create_data_window(key, nullptr); });
        tool_bar->addWidget(button);
    }
    tool_bar->addSeparator();
    button_clear =
        add_button("button_clear", QStyle::SP_DialogResetButton,
                   tr("<p><h3>Clear Message Window</h3>Clear the contents of the message window.</p>"), tr("Clear"));
    if (message_window)
        connect(button_clear, &QToolButton::clicked, message_window, &VyrRtLog::clear);
    tool_bar->addSeparator();
    button_compile = add_button("button_compile", QStyle::SP_BrowserReload,
                                tr("<p><h3>Compile</h3>Reload and compile all included script files into byte "
                                   "code.</p>"),
                                tr("Compile"));
    connect(button_compile, &QToolButton::clicked, this, &VyrMain::compile);
    button_start = add_button("button_start", QStyle::SP_MediaPlay,
                              tr("<p><h3>Start</h3>Start measurement and automatic window update.</p>"), tr("Start"));
    connect(button_start, &QToolButton::clicked, this, &VyrMain::start);
    button_stop =
        add_button("button_stop", QStyle::SP_MediaStop, tr("<p><h3>Stop</h3>Stop measurement.</p>"), tr("Stop"));
    connect(button_stop, &QToolButton::clicked, this, &VyrMain::stop);
    button_stop->setEnabled(false);
    for (QToolButton *button : {button_clear, button_compile, button_start, button_stop})
        button->setToolButtonStyle(toolButtonStyle());
    show_state();
}

void VyrMain::show_state()
{
    const bool running = measurement_running;
    bool any_active = false;
    bool any_script = false;
    if (!running)
        for (VyrSignalIf *interface = get_first_signal_if(); interface && !any_script; interface = interface->next())
            if (interface->active()) {
                any_active = true;
                any_script = interface->has_script_file();
            }

    for (QAction *action :
         {id_new, id_open, id_save, id_save_as, id_exit, menu_reopen->menuAction(), menu_settings->menuAction()})
        action->setEnabled(!running);
    id_compile->setEnabled(any_script);
    id_start->setEnabled(!running && any_active);
    id_stop->setEnabled(running);
    if (tool_bar && button_start) {
        button_compile->setEnabled(any_script);
        button_start->setEnabled(!running && any_active);
        button_stop->setEnabled(running);
        for (QToolButton *button : {button_new, button_open, button_save, button_interfaces})
            button->setEnabled(!running);
    }
    if (label_working_directory)
        label_working_directory->setText(QDir::toNativeSeparators(working_directory.absolutePath()));
    if (label_config_file)
        label_config_file->setText(get_configuration_filename());
}
