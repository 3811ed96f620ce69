#include "windows/tune/vyr_tune.h"

#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "windows/tune/vyr_signal_view.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>

namespace {

// A 16 x 16 picture of a few strokes.
QIcon stroke_icon(const std::function<void(QPainter &)> &draw)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::darkBlue, 2.5));
    draw(painter);
    return QIcon(pixmap);
}

// A tuning knob: a dial with a pointer.
QIcon window_icon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(0xc0, 0xc0, 0xc0));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.setPen(QPen(Qt::red, 2));
    painter.drawLine(QPointF(8, 8), QPointF(12, 4));
    return QIcon(pixmap);
}

} // namespace

VyrTune::VyrTune(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    setWindowIcon(window_icon());
    set_update_rate(250);
    set_help_key(QStringLiteral("TuneWindow"));

    VyrToolBar *bar = tool_bar();
    m_decrement_button = add_tool_button(
        "decrement_button", tr("<p><h3>Decrement</h3>Decrement the output value in the edit window.</p>"), false);
    m_decrement_button->setIcon(stroke_icon([](QPainter &p) { p.drawLine(3, 8, 13, 8); }));
    m_decrement_button->setAutoRepeat(true);
    m_edit = new QLineEdit(bar);
    m_edit->setObjectName(QStringLiteral("edit_field"));
    m_edit->setMaximumWidth(120);
    m_validator = new VyrSignalValueValidator(this, "signal_value_validator");
    m_edit->setValidator(m_validator);
    bar->addWidget(m_edit);
    m_increment_button = add_tool_button(
        "increment_button", tr("<p><h3>Increment</h3>Increment the output value in the edit window.</p>"), false);
    m_increment_button->setIcon(stroke_icon([](QPainter &p) {
        p.drawLine(3, 8, 13, 8);
        p.drawLine(8, 3, 8, 13);
    }));
    m_increment_button->setAutoRepeat(true);
    m_commit_button = add_tool_button(
        "commit_button",
        tr("<p><h3>Commit changed Values</h3>Write all modified values e.g. send it to the CAN bus.</p>"), false);
    m_commit_button->setIcon(stroke_icon([](QPainter &p) {
        p.setPen(QPen(Qt::darkGreen, 2.5));
        p.drawPolyline(QPolygonF({QPointF(2, 8), QPointF(6, 12), QPointF(14, 3)}));
    }));
    bar->add_separator();
    create_standard_tool_buttons();

    m_view = new VyrSignalView(this, "signal_view");
    m_view->set_owner(this);
    m_view->setMinimumSize(150, 50);
    insert_tool_widget(m_view);

    connect(m_decrement_button, &QToolButton::clicked, m_view, &VyrSignalView::value_dec);
    connect(m_increment_button, &QToolButton::clicked, m_view, &VyrSignalView::value_inc);
    connect(m_commit_button, &QToolButton::clicked, m_view, &VyrSignalView::update_outputs);
    connect(m_edit, &QLineEdit::returnPressed, m_view, &VyrSignalView::update_outputs);
    connect(m_edit, &QLineEdit::textChanged, this, &VyrTune::input_field_changed);
    connect(m_view, &VyrSignalView::edit_value, this, &VyrTune::edit_value);
    connect(m_view, &VyrSignalView::edit_allowed, this, &VyrTune::edit_allowed);
    connect(m_view, &VyrSignalView::values_changed, this, &VyrTune::state_changed);
    connect(m_view, &VyrSignalView::open_properties_dialog, this, &VyrDataWindow::open_properties_dialog);
    connect(m_view, &VyrSignalView::open_signal_dialog, this, &VyrDataWindow::open_signal_dialog);
    m_view->signal_list_changed();
    state_changed();
    setGeometry(50, 50, 160, 300);
}

VyrTune::~VyrTune() = default;

VyrSignalDisplayList *VyrTune::signal_display_list() const
{
    return m_view ? m_view->display_list() : nullptr;
}

void VyrTune::input_field_changed()
{
    if (m_view)
        m_view->value_changed(m_edit->text());
}

void VyrTune::edit_value(const QString &text)
{
    // The view's own text is no typed value: it must not come back to the
    // view as an edit (a double that "%lg" rounds would turn into one).
    const QSignalBlocker blocker(m_edit);
    m_edit->setText(text);
}

void VyrTune::edit_allowed(bool allowed)
{
    m_increment_button->setEnabled(allowed);
    m_decrement_button->setEnabled(allowed);
    m_edit->setEnabled(allowed);
}

void VyrTune::state_changed()
{
    m_commit_button->setEnabled(running() && m_view->pending());
}

void VyrTune::update_signals()
{
    if (!is_paused())
        m_view->refresh(false);
}

void VyrTune::startup()
{
    m_view->register_signal_notifiers();
    VyrDataWindow::startup();
}

void VyrTune::interface_configuration_changed(const QString &interface_id)
{
    debug_trace("VyrTune::interface_configuration_changed () ifname='%s'", interface_id.toLocal8Bit().constData());
    m_view->viewport()->update();
}

void VyrTune::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Space:
        QCoreApplication::sendEvent(m_view, event);
        return;
    default:
        VyrDataWindow::keyPressEvent(event);
    }
}

// --- Configuration ---------------------------------------------------------------------------

void VyrTune::write_configuration(QtbConfig *config)
{
    QtbConfigGroup *group = write_base_configuration(config);
    auto signal_groups = std::make_unique<QtbConfigGroup>();
    for (int i = 0; i < m_view->item_count(); ++i) {
        VyrSignalViewItem *item = m_view->item(i);
        SignalRecord *signal = item->signal();
        if (!signal)
            continue;
        auto entry = std::make_unique<QtbConfigGroup>();
        entry->write_string("sif", signal->owner() ? QString::fromStdString(signal->owner()->make_id()) : QString());
        entry->write_string("name", QString::fromLatin1(signal->name() ? signal->name() : ""));
        entry->write_int("base", item->base);
        signal_groups->append_entry(QtbConfigValue(std::move(entry)), nullptr);
    }
    group->append_entry(QtbConfigValue(std::move(signal_groups)), "signals");
}

VyrDataWindow *VyrTune::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new VyrTune(nullptr);
    window->enter_workspace(parent);
    if (!group)
        return window;
    window->read_base_configuration(group);
    if (QtbConfigGroup *signal_groups = group->get_group("signals")) {
        for (QtbConfigGroup *entry = signal_groups->first_group(); entry; entry = signal_groups->next_group()) {
            const QString interface_id = entry->read_string("sif", QString());
            const QString name = entry->read_string("name", QString());
            // A signal that is not found yields no line.
            VyrSignalIf *signal_if = find_signal_if_by_id(interface_id.toLatin1().constData());
            VyrSignalList *signal_list = signal_if ? signal_if->signal_list() : nullptr;
            if (!signal_list || !signal_list->find(name.toLatin1().constData()))
                continue;
            window->insert_signal(interface_id, name);
            // A base the program never writes shows the value in decimal.
            const int base = entry->read_int("base", 10);
            window->m_view->item(window->m_view->item_count() - 1)->base = base == 16 || base == 2 ? base : 10;
        }
    }
    window->m_view->refresh(true);
    return window;
}
