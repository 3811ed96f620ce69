#include "windows/tune/vyr_signal_view.h"

#include "core/time_base.h"
#include "core/vyr_signal_if.h"
#include "settings/text_util.h"
#include "windows/base/vyr_data_window.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>

#include <cmath>
#include <cstdio>

// --- Validator --------------------------------------------------------------------------------

VyrSignalValueValidator::VyrSignalValueValidator(QObject *parent, const char *name) : QValidator(parent)
{
    setObjectName(QString::fromLatin1(name));
}

QValidator::State VyrSignalValueValidator::validate(QString &text, int &) const
{
    static const QRegularExpression patterns[] = {
        QRegularExpression(QStringLiteral("^[0-9a-fA-F]*[hH]$")),
        QRegularExpression(QStringLiteral("^[0-1]*[bB]$")),
        QRegularExpression(QStringLiteral("^-?[0-9]*$")),
    };
    for (const QRegularExpression &pattern : patterns)
        if (pattern.match(text).hasMatch())
            return Acceptable;
    return Invalid;
}

// --- Item -------------------------------------------------------------------------------------

VyrSignalViewItem::VyrSignalViewItem(SignalRecord *signal) : SignalDisplayEntry(signal)
{
    if (signal && signal->value_type() == SignalValue::Int)
        m_current.set_int(0);
    else if (signal && signal->value_type() == SignalValue::Double)
        m_current.set_double(0.0);
}

bool VyrSignalViewItem::differs(const SignalValue &a, const SignalValue &b)
{
    if (a.type != b.type)
        return true;
    if (a.type == SignalValue::Int)
        return a.int_value != b.int_value;
    if (a.type == SignalValue::Double)
        return !(a.double_value == b.double_value);
    return false;
}

void VyrSignalViewItem::value_changed(const SignalValue &value)
{
    bool changed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_previous = m_current;
        m_current = value;
        changed = differs(m_previous, m_current);
    }
    if (changed)
        m_changed = true;
}

SignalValue VyrSignalViewItem::current_value() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_current;
}

SignalValue VyrSignalViewItem::previous_value() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_previous;
}

void VyrSignalViewItem::set_current_value(const SignalValue &value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_current = value;
}

// --- View -------------------------------------------------------------------------------------

namespace {

// A yellow triangle with a black border and an exclamation mark.
QPixmap warning_icon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::yellow);
    painter.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15, 15), QPointF(1, 15)}));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QPointF(8, 6), QPointF(8, 10.5));
    painter.drawPoint(QPointF(8, 13));
    return pixmap;
}

int int_of(const SignalValue &value)
{
    return value.type == SignalValue::Double ? int(value.double_value) : value.int_value;
}

double double_of(const SignalValue &value)
{
    return value.type == SignalValue::Int ? double(value.int_value) : value.double_value;
}

QString double_text(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%lg", value);
    return QString::fromLatin1(text);
}

SignalValue stamped(SignalValue value)
{
    const TimeValue now = get_current_time();
    value.seconds = now.seconds;
    value.microseconds = now.microseconds;
    return value;
}

} // namespace

VyrSignalView::VyrSignalView(QWidget *parent, const char *name)
    : QAbstractScrollArea(parent),
      m_display_list(new VyrSignalViewDisplayList(qobject_cast<VyrDataWindow *>(parent))),
      m_warning_icon(warning_icon())
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    m_display_list->setParent(this);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    const QFontMetrics metrics(viewport()->font());
    m_row_height = metrics.descent() + metrics.height() + 4;
    viewport()->setFocusPolicy(Qt::ClickFocus);
    setFocusPolicy(Qt::ClickFocus);
    horizontalScrollBar()->setRange(0, 0);
    layout(false);
    connect(m_display_list, &VyrSignalDisplayList::signal_list_changed, this, &VyrSignalView::signal_list_changed);
    connect(m_display_list, &VyrSignalDisplayList::cursor_changed, this, &VyrSignalView::cursor_changed);
}

VyrSignalView::~VyrSignalView()
{
    delete m_popup_menu;
    // The items leave their signals before the view's widgets go.
    delete m_display_list;
}

VyrSignalViewItem *VyrSignalView::cursor_item() const
{
    return static_cast<VyrSignalViewItem *>(m_display_list->cursor());
}

VyrSignalViewItem *VyrSignalView::item(int index) const
{
    const auto &entries = m_display_list->entries();
    return index >= 0 && index < int(entries.size()) ? static_cast<VyrSignalViewItem *>(entries[size_t(index)])
                                                     : nullptr;
}

void VyrSignalView::layout(bool resize)
{
    int y = 1;
    const int width = viewport()->width();
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        static_cast<VyrSignalViewItem *>(entry)->rect = QRect(0, y, width, m_row_height);
        y += m_row_height;
    }
    if (resize) {
        verticalScrollBar()->setPageStep(viewport()->height());
        verticalScrollBar()->setSingleStep(m_row_height);
        verticalScrollBar()->setRange(0, std::max(0, y - viewport()->height()));
    }
    m_laid_out = true;
}

void VyrSignalView::refresh(bool all)
{
    if (!m_laid_out)
        layout(true);
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        auto *item = static_cast<VyrSignalViewItem *>(entry);
        if (item->take_changed() || all)
            repaint_item(item);
    }
}

VyrSignalViewItem *VyrSignalView::item_at(int, int y) const
{
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        auto *item = static_cast<VyrSignalViewItem *>(entry);
        if (y >= item->rect.top() && y <= item->rect.top() + item->rect.height())
            return item;
    }
    return nullptr;
}

void VyrSignalView::set_pending(bool pending)
{
    m_pending = pending;
    emit values_changed();
}

QRect VyrSignalView::viewport_rect(const QRect &contents_rect) const
{
    return contents_rect.translated(0, -verticalScrollBar()->value());
}

void VyrSignalView::repaint_item(const VyrSignalViewItem *item)
{
    viewport()->update(viewport_rect(item->rect));
}

// --- Drawing ----------------------------------------------------------------------------------

QString VyrSignalView::value_text(const VyrSignalViewItem &item)
{
    SignalRecord *signal = item.signal();
    if (!signal)
        return QString();
    if (signal->value_type() == SignalValue::Int) {
        const int value = item.editing ? item.edit_value.int_value : int_of(item.current_value());
        if (const char *description = signal->value_text(value))
            return QString::fromUtf8(description);
        return QString::fromStdString(format_int_text(value, item.base));
    }
    if (signal->value_type() == SignalValue::Double)
        return double_text(item.editing ? item.edit_value.double_value : double_of(item.current_value()));
    return QStringLiteral("???");
}

void VyrSignalView::paint_item(QPainter &painter, const VyrSignalViewItem &item)
{
    const QRect r = viewport_rect(item.rect);
    painter.fillRect(r, palette().color(QPalette::Base));
    if (SignalRecord *signal = item.signal()) {
        const QFontMetrics metrics(painter.font());
        const QString value = value_text(item);
        const int value_width = metrics.horizontalAdvance(value);
        const int indent = item.signal_flag() ? 0 : m_warning_icon.width();
        QString name = QString::fromUtf8(signal->name() ? signal->name() : "").left(100);
        while (!name.isEmpty() && metrics.horizontalAdvance(name) > r.width() - indent - value_width - 10)
            name.chop(1);
        QColor text_color = palette().color(QPalette::WindowText);
        if (item.selected()) {
            painter.fillRect(r.adjusted(1, 1, -1, -1), palette().color(QPalette::Highlight));
            text_color = palette().color(QPalette::HighlightedText);
        }
        const int baseline = r.y() + r.height() - metrics.descent() - 2;
        painter.setPen(text_color);
        painter.drawText(r.x() + indent + 2, baseline, name);
        if (item.signal_flag()) {
            painter.setPen(item.editing ? QColor(Qt::red) : text_color);
            painter.drawText(r.x() + r.width() - value_width - 2, baseline, value);
        } else {
            painter.drawPixmap(r.x() + 2, r.y() + (r.height() - m_warning_icon.height()) / 2, m_warning_icon);
        }
    }
    if (item.cursor_mark()) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void VyrSignalView::paintEvent(QPaintEvent *event)
{
    if (!m_laid_out)
        layout(true);
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        const auto &item = *static_cast<VyrSignalViewItem *>(entry);
        if (viewport_rect(item.rect).intersects(exposed))
            paint_item(painter, item);
    }
}

void VyrSignalView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    layout(true);
}

// --- Editing ----------------------------------------------------------------------------------

void VyrSignalView::update_edit_field()
{
    VyrSignalViewItem *item = cursor_item();
    SignalRecord *signal = item ? item->signal() : nullptr;
    if (!signal) {
        emit edit_value(QString());
        emit edit_allowed(false);
        return;
    }
    if (signal->direction() == SignalRecord::Input) {
        emit edit_allowed(false);
        return;
    }
    emit edit_allowed(true);
    QString text;
    if (signal->value_type() == SignalValue::Int) {
        if (!item->editing)
            item->edit_value.set_int(int_of(item->current_value()));
        text = QString::fromStdString(format_int_text(item->edit_value.int_value, item->base));
    } else if (signal->value_type() == SignalValue::Double) {
        if (!item->editing)
            item->edit_value.set_double(double_of(item->current_value()));
        text = double_text(item->edit_value.double_value);
    }
    emit edit_value(text);
}

void VyrSignalView::value_changed(const QString &text)
{
    VyrSignalViewItem *item = cursor_item();
    if (!item || !item->signal())
        return;
    SignalValue typed;
    const QByteArray latin = text.toLatin1();
    if (item->signal()->value_type() == SignalValue::Int) {
        bool ok = false;
        const int value = parse_int_text(latin.constData(), &ok);
        if (!ok) {
            refresh(false);
            return;
        }
        typed.set_int(value);
    } else if (item->signal()->value_type() == SignalValue::Double) {
        double value = 0.0;
        if (std::sscanf(latin.constData(), "%lf", &value) != 1) {
            refresh(false);
            return;
        }
        typed.set_double(value);
    } else {
        refresh(false);
        return;
    }
    const bool differs = VyrSignalViewItem::differs(typed, item->edit_value);
    item->edit_value = typed;
    item->mark_changed();
    if (differs) {
        item->editing = true;
        set_pending(true);
    }
    refresh(false);
}

void VyrSignalView::step_value(int step)
{
    VyrSignalViewItem *item = cursor_item();
    if (!item || !item->signal())
        return;
    const int type = item->signal()->value_type();
    if (type == SignalValue::Int || type == SignalValue::Double) {
        if (type == SignalValue::Int)
            item->edit_value.set_int(item->edit_value.int_value + step);
        else
            item->edit_value.set_double(item->edit_value.double_value + step);
        item->editing = true;
        item->mark_changed();
        set_pending(true);
    }
    update_edit_field();
    refresh(false);
}

void VyrSignalView::value_inc()
{
    step_value(1);
}

void VyrSignalView::value_dec()
{
    step_value(-1);
}

void VyrSignalView::update_inputs()
{
    refresh(false);
}

void VyrSignalView::update_outputs()
{
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        auto *item = static_cast<VyrSignalViewItem *>(entry);
        SignalRecord *signal = item->signal();
        if (!signal || !item->editing ||
            (signal->direction() != SignalRecord::Output && signal->direction() != SignalRecord::InputOutput))
            continue;
        SignalValue value;
        if (signal->value_type() == SignalValue::Int)
            value.set_int(item->edit_value.int_value);
        else
            value.set_double(item->edit_value.double_value);
        value = stamped(value);
        // A signal the interface does not take for writing drops the request.
        if (VyrSignalIf *signal_if = signal->owner())
            signal_if->post_write_request(signal, value);
        item->set_current_value(value);
        item->editing = false;
        item->mark_changed();
    }
    refresh(false);
    set_pending(false);
}

void VyrSignalView::register_signal_notifiers()
{
    for (SignalDisplayEntry *entry : m_display_list->entries())
        if (SignalRecord *signal = entry->signal(); signal && signal->owner())
            signal->owner()->add_signal_listener(entry, signal);
}

void VyrSignalView::signal_list_changed()
{
    m_laid_out = false;
    refresh(true);
    update_edit_field();
}

void VyrSignalView::cursor_changed()
{
    if (VyrSignalViewItem *item = cursor_item())
        viewport()->update(viewport_rect(item->rect.adjusted(-3, -3, 4, 4)));
    update_edit_field();
}

// --- Keys, mouse and menu ---------------------------------------------------------------------

void VyrSignalView::make_cursor_visible()
{
    VyrSignalViewItem *item = cursor_item();
    if (!item)
        return;
    QScrollBar *bar = verticalScrollBar();
    if (item->rect.top() < bar->value())
        bar->setValue(item->rect.top());
    else if (item->rect.top() > bar->value() + viewport()->height() - m_row_height)
        bar->setValue(item->rect.top() + m_row_height - viewport()->height());
}

void VyrSignalView::keyPressEvent(QKeyEvent *event)
{
    const auto &entries = m_display_list->entries();
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (entries.empty())
            return;
        const auto at = std::find(entries.begin(), entries.end(), m_display_list->cursor());
        SignalDisplayEntry *next = nullptr;
        if (at == entries.end())
            next = event->key() == Qt::Key_Up ? entries.back() : entries.front();
        else if (event->key() == Qt::Key_Up && at != entries.begin())
            next = *(at - 1);
        else if (event->key() == Qt::Key_Down && at + 1 != entries.end())
            next = *(at + 1);
        if (next) {
            m_display_list->set_cursor(next);
            make_cursor_visible();
        }
        return;
    }
    case Qt::Key_Space:
        if (VyrSignalViewItem *item = cursor_item(); item && item->signal()) {
            item->set_selected(!item->selected());
            repaint_item(item);
        }
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void VyrSignalView::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->pos() + QPoint(0, verticalScrollBar()->value());
    VyrSignalViewItem *hit = item_at(point.x(), point.y());
    if (event->button() == Qt::LeftButton) {
        if (!(event->modifiers() & Qt::ControlModifier)) {
            if (hit)
                m_display_list->set_cursor(hit);
            for (SignalDisplayEntry *entry : m_display_list->entries()) {
                entry->set_selected(false);
                repaint_item(static_cast<VyrSignalViewItem *>(entry));
            }
        } else if (hit) {
            m_display_list->set_cursor(hit);
        }
        if (hit && hit->signal()) {
            hit->set_selected(!hit->selected());
            repaint_item(hit);
        }
    } else if (event->button() == Qt::RightButton) {
        delete m_popup_menu;
        QMenu *menu = make_popup_menu();
        m_popup_menu = menu;
        if (hit)
            m_display_list->set_cursor(hit);
        menu->exec(event->globalPos());
        delete menu;
    }
}

QMenu *VyrSignalView::make_popup_menu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("signal_view_menu"));
    const bool running = m_owner && m_owner->running();
    const auto add = [this](QMenu *to, const QString &text, int id, bool enabled = true) {
        QAction *action = to->addAction(text);
        action->setData(id);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, id] { on_popup_menu_command(id); });
    };
    add(menu, tr("Properties"), Properties, !running);
    if (m_owner && m_owner->detached())
        menu->addAction(tr("Attach to Workspace"), m_owner, &VyrDataWindow::attach_to_workspace);
    else if (m_owner)
        menu->addAction(tr("Detach from Workspace"), m_owner, &VyrDataWindow::detach_from_workspace);
    add(menu, tr("Insert Signals"), InsertSignals, !running);
    add(menu, tr("Delete Signals"), DeleteSignals, !running);
    QMenu *format = menu->addMenu(tr("Display Format"));
    add(format, tr("Dec"), ShowDecimal);
    add(format, tr("Hex"), ShowHexadecimal);
    add(format, tr("Bin"), ShowBinary);
    return menu;
}

void VyrSignalView::on_popup_menu_command(int id)
{
    switch (id) {
    case InsertSignals:
        emit open_signal_dialog();
        break;
    case DeleteSignals:
        m_display_list->delete_selected();
        break;
    case Properties:
        emit open_properties_dialog();
        break;
    case ShowDecimal:
    case ShowHexadecimal:
    case ShowBinary: {
        const int base = id == ShowDecimal ? 10 : id == ShowHexadecimal ? 16 : 2;
        bool any_selected = false;
        for (SignalDisplayEntry *entry : m_display_list->entries())
            if (entry->selected()) {
                static_cast<VyrSignalViewItem *>(entry)->base = base;
                any_selected = true;
            }
        if (!any_selected)
            if (VyrSignalViewItem *item = cursor_item())
                item->base = base;
        refresh(true);
        break;
    }
    default:
        break;
    }
}
