// The main window's menu bar, the menus rebuilt each time they open, the
// workspace context menu, the tool bar and show_state, which enables all of
// them by the measurement state. Every entry runs a slot of the window
// connected by function pointer, so that a renamed slot fails to compile.
// Menu items that
// carry a number (a recent file, an interface, an interface type) keep it as
// their action's data and run their menu's command with it.
#include "app/vyr_main.h"

#include "app/shell/settings_store.h"
#include "app/shell/vyr_app_state.h"
#include "app/vyr_main_widgets.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/vyr_data_window.h"
#include "windows/packet/vyr_rt_log.h"
#include "core/vyr_recent_list.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "lib/qtservice/qtservice.h"

#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int id_message_dock = 1;
constexpr int id_interface_base = 1000;
constexpr int id_interface_type_base = 2000;
constexpr int id_window_type_base = 3000;
constexpr int id_window_base = 4000;

// Runs the slot of the main window when the entry is chosen.
template <typename Slot> void bind(QAction *entry, VyrMain *main, Slot slot)
{
    QObject::connect(entry, &QAction::triggered, main, slot);
}

template <typename Slot> void bind(QToolButton *entry, VyrMain *main, Slot slot)
{
    QObject::connect(entry, &QToolButton::clicked, main, slot);
}

template <typename Command>
QAction *add_command(QMenu *menu, const QString &text, VyrMain *main, Command command,
                     const QKeySequence &shortcut = QKeySequence())
{
    QAction *action = menu->addAction(text);
    action->setShortcut(shortcut);
    bind(action, main, command);
    return action;
}

// Runs the slot with the number of the item chosen in the menu.
template <typename Result> void bind_items(QMenu *menu, VyrMain *main, Result (VyrMain::*slot)(int))
{
    QObject::connect(menu, &QMenu::triggered, main, [menu, main, slot](QAction *item) {
        // The menu also hears the items of its submenus.
        if (item->data().isValid() && menu->actions().contains(item))
            (main->*slot)(item->data().toInt());
    });
}

// An item of a numbered menu.
QAction *add_item(QMenu *menu, const QString &text, int id)
{
    QAction *action = menu->addAction(text);
    action->setData(id);
    return action;
}

// Deletes the submenus an earlier build left: clearing a menu keeps them.
void clear_with_submenus(QMenu *menu)
{
    menu->clear();
    qDeleteAll(menu->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly));
}

} // namespace

void VyrMain::build_menus()
{
    QMenu *file = m_menus.menu_file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("menu_file"));
    m_menus.id_new = add_command(file, tr("&New Configuration"), this, &VyrMain::new_configuration,
                                 QKeySequence(Qt::CTRL + Qt::Key_N));
    m_menus.id_open = add_command(file, tr("&Open Configuration..."), this, qOverload<>(&VyrMain::load_configuration),
                                  QKeySequence(Qt::CTRL + Qt::Key_O));
    m_menus.menu_reopen = file->addMenu(tr("&Reopen..."));
    m_menus.menu_reopen->setObjectName(QStringLiteral("menu_reopen"));
    connect(m_menus.menu_reopen, &QMenu::aboutToShow, this, &VyrMain::build_reopen_menu);
    bind_items(m_menus.menu_reopen, this, &VyrMain::reopen_config);
    file->addSeparator();
    m_menus.id_save = add_command(file, tr("&Save Configuration"), this, &VyrMain::save_configuration,
                                  QKeySequence(Qt::CTRL + Qt::Key_S));
    m_menus.id_save_as = add_command(file, tr("Save Configuration &As..."), this, &VyrMain::save_configuration_as);
    m_menus.id_describe_config = add_command(file, tr("&Describe Configuration..."), this, &VyrMain::describe_config);
    file->addSeparator();
    m_menus.id_exit = add_command(file, tr("E&xit"), this, &QWidget::close);

    m_menus.menu_settings = menuBar()->addMenu(tr("&Settings"));
    m_menus.menu_settings->setObjectName(QStringLiteral("menu_settings"));
    connect(m_menus.menu_settings, &QMenu::aboutToShow, this, &VyrMain::build_settings_menu);

    m_menus.menu_view = menuBar()->addMenu(tr("&View"));
    m_menus.menu_view->setObjectName(QStringLiteral("menu_view"));
    connect(m_menus.menu_view, &QMenu::aboutToShow, this, &VyrMain::build_view_menu);
    bind_items(m_menus.menu_view, this, &VyrMain::minimize_data_window);

    QMenu *measure = m_menus.menu_measure = menuBar()->addMenu(tr("&Measure"));
    measure->setObjectName(QStringLiteral("menu_measure"));
    m_menus.id_compile = add_command(measure, tr("&Compile"), this, &VyrMain::compile, QKeySequence(Qt::Key_F8));
    m_menus.id_start = add_command(measure, tr("&Start"), this, &VyrMain::start, QKeySequence(Qt::Key_F5));
    m_menus.id_stop = add_command(measure, tr("Sto&p"), this, &VyrMain::stop, QKeySequence(Qt::Key_F6));
    m_menus.id_stop->setEnabled(false);

    m_menus.menu_window = menuBar()->addMenu(tr("&Window"));
    m_menus.menu_window->setObjectName(QStringLiteral("menu_window"));
    connect(m_menus.menu_window, &QMenu::aboutToShow, this, &VyrMain::build_window_menu);
    bind_items(m_menus.menu_window, this, &VyrMain::create_data_window);

    QMenu *workspace = m_menus.menu_workspace = menuBar()->addMenu(tr("Works&pace"));
    workspace->setObjectName(QStringLiteral("menu_workspace"));
    m_menus.id_create_workspace =
        add_command(workspace, tr("&Create New Workspace"), this, qOverload<>(&VyrMain::create_new_workspace));
    m_menus.id_rename_workspace =
        add_command(workspace, tr("&Rename Current Workspace"), this, &VyrMain::rename_current_workspace);
    m_menus.id_delete_workspace =
        add_command(workspace, tr("&Delete Current Workspace"), this, &VyrMain::delete_current_workspace);
    connect(workspace, &QMenu::aboutToShow, this, &VyrMain::build_workspace_menu);

    QMenu *help = m_menus.menu_help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("menu_help"));
    const unsigned languages = vyr_app_state().help_language_mask;
    if (languages) {
        QMenu *language = m_menus.menu_help_language = help->addMenu(tr("Language for Online Help"));
        language->setObjectName(QStringLiteral("menu_help_language"));
        bind_items(language, this, &VyrMain::set_language);
        static const char *const names[4] = {"German", "English", "Japanese", "Chinese"};
        for (int code = 0; code < 4; ++code)
            if (languages & (1u << code))
                add_item(language, tr(names[code]), code)->setCheckable(true);
        connect(language, &QMenu::aboutToShow, this, &VyrMain::build_language_menu);
    }
    add_command(help, tr("&Contents"), this, &VyrMain::help_contents);
    add_command(help, tr("&About..."), this, &VyrMain::info);

    // clang-format off
    const std::pair<QAction *, const char *> named_actions[] = {
        {m_menus.id_new, "id_new"},         {m_menus.id_open, "id_open"},     {m_menus.id_save, "id_save"},
        {m_menus.id_save_as, "id_save_as"}, {m_menus.id_describe_config, "id_describe_config"},
        {m_menus.id_exit, "id_exit"},       {m_menus.id_compile, "id_compile"},
        {m_menus.id_start, "id_start"},     {m_menus.id_stop, "id_stop"},
        {m_menus.id_create_workspace, "id_create_workspace"}, {m_menus.id_rename_workspace, "id_rename_workspace"},
        {m_menus.id_delete_workspace, "id_delete_workspace"}};
    // clang-format on
    for (const auto &[action, name] : named_actions)
        action->setObjectName(QLatin1String(name));
}

void VyrMain::build_reopen_menu()
{
    m_menus.menu_reopen->clear();
    const VyrRecentList &recent = config_lru();
    for (int i = 0; i < recent.count(); ++i)
        add_item(m_menus.menu_reopen, QString::fromLocal8Bit(recent.at(i)), i);
}

void VyrMain::build_settings_menu()
{
    QMenu *settings = m_menus.menu_settings;
    clear_with_submenus(settings);
    add_command(settings, tr("&Preferences"), this, &VyrMain::display_options_dialog);
    add_command(settings, tr("Interface List"), this, &VyrMain::show_module_list, QKeySequence(Qt::CTRL + Qt::Key_I));
    add_command(settings, tr("Trigger Settings"), this, &VyrMain::show_trigger_settings);
    settings->addSeparator();
    // The service's state is read each time the menu opens.
    QMenu *service_menu = settings->addMenu(tr("Service Control"));
    service_menu->setObjectName(QStringLiteral("menu_service_control"));
    QtService *service = QtService::instance();
    if (service && service->is_installed()) {
        add_command(service_menu, tr("Remove Vyr from Windows Services"), this, &VyrMain::service_remove);
        if (service->is_running())
            add_command(service_menu, tr("Stop Vyr Service"), this, &VyrMain::service_stop);
        else
            add_command(service_menu, tr("Start Vyr Service"), this, &VyrMain::service_start);
    } else {
        add_command(service_menu, tr("Install Vyr as Windows Service"), this, &VyrMain::service_install);
    }
    settings->addSeparator();
    QMenu *create_menu = settings->addMenu(tr("Create new Interface"));
    create_menu->setObjectName(QStringLiteral("menu_create_interface"));
    bind_items(create_menu, this, &VyrMain::show_config_dialog);
    settings->addSeparator();

    int k = 0;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next(), ++k) {
        const QString type_name = QString::fromStdString(type->type_name());
        if (type->in_menu()) {
            QAction *item =
                add_item(create_menu, type_name + QLatin1Char(' ') + tr("Interface"), id_interface_type_base + k);
            if (!type->enabled())
                item->setEnabled(false);
        }
        QMenu *type_menu = settings->addMenu(type_name + QLatin1Char(' ') + tr("Settings"));
        bind_items(type_menu, this, &VyrMain::show_config_dialog);
        int position = 0;
        for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next(), ++position)
            if (interface->type_name() == type->type_name())
                add_item(type_menu, QString::fromStdString(interface->name()), id_interface_base + position);
        type_menu->setEnabled(!type_menu->isEmpty());
    }
}

void VyrMain::build_view_menu()
{
    QMenu *view = m_menus.menu_view;
    view->clear();
    QAction *dock = add_item(view, m_message_dock->windowTitle(), id_message_dock);
    dock->setCheckable(true);
    dock->setChecked(m_message_dock->isVisible());
    view->addSeparator();
}

void VyrMain::minimize_data_window(int id)
{
    if (id == id_message_dock)
        m_message_dock->setVisible(!m_message_dock->isVisible());
}

void VyrMain::fill_create_window_menu(QMenu *menu)
{
    int k = 0;
    for (DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next(), ++k) {
        if (!type->listed())
            continue;
        QAction *action = menu->addAction(tr(type->menu_name()));
        action->setEnabled(!measurement_running() && type->enabled() && (type->flags() & 7) != 7);
        const int id = id_window_type_base + k;
        connect(action, &QAction::triggered, this, [this, id] { create_data_window(id); });
    }
}

void VyrMain::build_window_menu()
{
    QMenu *window = m_menus.menu_window;
    clear_with_submenus(window);
    window->addAction(tr("&Tile"), this, [this] {
        if (m_current_workspace)
            m_current_workspace->tileSubWindows();
    });
    window->addAction(tr("&Cascade"), this, [this] {
        if (m_current_workspace)
            m_current_workspace->cascadeSubWindows();
    });
    add_command(window, tr("&Standard Layout"), this, &VyrMain::standard_layout);
    window->addSeparator();
    QMenu *create = window->addMenu(tr("Create &Window"));
    create->setObjectName(QStringLiteral("menu_create_window"));
    fill_create_window_menu(create);
    window->addSeparator();
    // The open windows of the workspace shown and the detached ones, numbered
    // by their place among all open windows.
    int k = 0;
    for (VyrDataWindow *open = first_window(); open; open = open->next_window(), ++k)
        if (open->detached() || open->workspace_id() == current_workspace_id())
            add_item(window, open->caption(), id_window_base + k);
}

void VyrMain::build_workspace_menu()
{
    const bool running = measurement_running();
    m_menus.id_delete_workspace->setEnabled(current_workspace_id() != 0 && !running);
    m_menus.id_create_workspace->setEnabled(!running);
    m_menus.id_rename_workspace->setEnabled(!running);
}

void VyrMain::build_language_menu()
{
    for (QAction *action : m_menus.menu_help_language->actions())
        action->setChecked(action->data().toInt() == vyr_app_state().help_language);
}

void VyrMain::display_workspace_context_menu(const QPoint &position)
{
    const bool running = measurement_running();
    QMenu popup(this);
    popup.setObjectName(QStringLiteral("workspace_context_menu"));
    popup.addAction(tr("Tile"), m_current_workspace, &QMdiArea::tileSubWindows);
    popup.addAction(tr("Cascade"), m_current_workspace, &QMdiArea::cascadeSubWindows);
    add_command(&popup, tr("Standard Layout"), this, &VyrMain::standard_layout);
    popup.addSeparator();
    add_command(&popup, tr("Create new Workspace"), this, qOverload<>(&VyrMain::create_new_workspace))
        ->setEnabled(!running);
    add_command(&popup, tr("Rename current Workspace"), this, &VyrMain::rename_current_workspace)->setEnabled(!running);
    add_command(&popup, tr("Delete current Workspace"), this, &VyrMain::delete_current_workspace)
        ->setEnabled(current_workspace_id() != 0 && !running);
    popup.addSeparator();
    fill_create_window_menu(popup.addMenu(tr("Create Window")));
    popup.exec(position);
}

void VyrMain::build_toolbar()
{
    QToolBar *bar = m_tool_bar.bar;
    if (!bar) {
        bar = m_tool_bar.bar = new QToolBar(tr("Toolbar"), this);
        bar->setObjectName(QStringLiteral("tool_bar"));
        addToolBar(Qt::TopToolBarArea, bar);
        connect(bar, &QToolBar::visibilityChanged, this, &VyrMain::build_toolbar);
    }
    // The tool bar owns its buttons' actions and separators; deleting an
    // action deletes its button.
    qDeleteAll(bar->actions());
    auto add_button = [this, bar](const char *name, QStyle::StandardPixmap icon, const QString &tip,
                                  const QString &label) {
        auto *button = new QToolButton(bar);
        button->setObjectName(QLatin1String(name));
        button->setAutoRaise(true);
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(tip);
        button->setText(label);
        bar->addWidget(button);
        return button;
    };
    VyrMainToolBar &buttons = m_tool_bar;
    buttons.button_new =
        add_button("button_new", QStyle::SP_FileIcon, tr("<p><h3>New</h3>Create new configuration.</p>"), tr("New"));
    bind(buttons.button_new, this, &VyrMain::new_configuration);
    buttons.button_open = add_button("button_open", QStyle::SP_DialogOpenButton,
                                     tr("<p><h3>Load</h3>Load saved configuration from disk.</p>"), tr("Open"));
    bind(buttons.button_open, this, qOverload<>(&VyrMain::load_configuration));
    buttons.button_save = add_button("button_save", QStyle::SP_DialogSaveButton,
                                     tr("<p><h3>Save</h3>Save configuration to disk.</p>"), tr("Save"));
    bind(buttons.button_save, this, &VyrMain::save_configuration);
    bar->addSeparator();
    buttons.button_interfaces =
        add_button("button_interfaces", QStyle::SP_ComputerIcon,
                   tr("<p><h3>Interfaces</h3>Displays the list of hardware interfaces.</p>"), tr("Interfaces"));
    bind(buttons.button_interfaces, this, &VyrMain::show_module_list);
    setToolButtonStyle(settings_store().read_bool("DontShowToolbuttonLabels", false) ? Qt::ToolButtonIconOnly
                                                                                     : Qt::ToolButtonTextUnderIcon);
    for (QToolButton *button :
         {buttons.button_new, buttons.button_open, buttons.button_save, buttons.button_interfaces})
        button->setToolButtonStyle(toolButtonStyle());
    bar->addSeparator();
    for (DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next()) {
        if (!type->listed() || (type->flags() & 7) == 7)
            continue;
        const QString title = tr(type->title());
        auto *button = new QToolButton(bar);
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
        bar->addWidget(button);
    }
    bar->addSeparator();
    buttons.button_clear =
        add_button("button_clear", QStyle::SP_DialogResetButton,
                   tr("<p><h3>Clear Message Window</h3>Clear the contents of the message window.</p>"), tr("Clear"));
    connect(buttons.button_clear, &QToolButton::clicked, m_message_window, &VyrRtLog::clear);
    bar->addSeparator();
    buttons.button_compile = add_button("button_compile", QStyle::SP_BrowserReload,
                                        tr("<p><h3>Compile</h3>Reload and compile all included script files into "
                                           "byte code.</p>"),
                                        tr("Compile"));
    bind(buttons.button_compile, this, &VyrMain::compile);
    buttons.button_start =
        add_button("button_start", QStyle::SP_MediaPlay,
                   tr("<p><h3>Start</h3>Start measurement and automatic window update.</p>"), tr("Start"));
    bind(buttons.button_start, this, &VyrMain::start);
    buttons.button_stop =
        add_button("button_stop", QStyle::SP_MediaStop, tr("<p><h3>Stop</h3>Stop measurement.</p>"), tr("Stop"));
    bind(buttons.button_stop, this, &VyrMain::stop);
    buttons.button_stop->setEnabled(false);
    for (QToolButton *button :
         {buttons.button_clear, buttons.button_compile, buttons.button_start, buttons.button_stop})
        button->setToolButtonStyle(toolButtonStyle());
    show_state();
}

void VyrMain::show_state()
{
    const bool running = measurement_running();
    bool any_active = false;
    bool any_script = false;
    if (!running)
        for (VyrSignalIf *interface = get_first_signal_if(); interface && !any_script; interface = interface->next())
            if (interface->active()) {
                any_active = true;
                any_script = interface->has_script_file();
            }

    for (QAction *action :
         {m_menus.id_new, m_menus.id_open, m_menus.id_save, m_menus.id_save_as, m_menus.id_describe_config,
          m_menus.id_exit, m_menus.menu_reopen->menuAction(), m_menus.menu_settings->menuAction()})
        action->setEnabled(!running);
    m_menus.id_compile->setEnabled(any_script);
    m_menus.id_start->setEnabled(!running && any_active);
    m_menus.id_stop->setEnabled(running);
    const VyrMainToolBar &buttons = m_tool_bar;
    if (buttons.bar && buttons.button_start) {
        buttons.button_compile->setEnabled(any_script);
        buttons.button_start->setEnabled(!running && any_active);
        buttons.button_stop->setEnabled(running);
        for (QToolButton *button :
             {buttons.button_new, buttons.button_open, buttons.button_save, buttons.button_interfaces})
            button->setEnabled(!running);
    }
    if (m_label_working_directory)
        m_label_working_directory->setText(QDir::toNativeSeparators(working_directory().absolutePath()));
    if (m_label_config_file)
        m_label_config_file->setText(get_configuration_filename());
}
