#include "windows/packet/vyr_rt_log.h"

#include "settings/qtb_config.h"
#include "core/vyr_packet.h"
#include "windows/packet/vyr_packet_display.h"

#include <QFile>
#include <QHBoxLayout>
#include <QMenu>
#include <QTimerEvent>

namespace {
// The point sizes of the font menu.
const int font_sizes[] = {5, 6, 7, 8, 10, 11, 12, 14, 16};
} // namespace

VyrRtLog::VyrRtLog(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_display = new VyrPacketDisplay(this);
    m_display->setObjectName(QStringLiteral("packet_display"));
    // Rows go straight into the display's store: no packet source.
    m_display->set_source(nullptr, nullptr);
    layout->addWidget(m_display);
    connect(m_display, &VyrPacketDisplay::show_context_menu, this, &VyrRtLog::show_context_menu);
    setFocusPolicy(Qt::StrongFocus);
    m_timer_id = startTimer(pull_interval_ms);
}

VyrRtLog::~VyrRtLog()
{
    stop_logging_to_file();
    killTimer(m_timer_id);
}

void VyrRtLog::set_column_count(int n)
{
    m_new_layout.reset(n > 0 ? new VyrPacketLayout(n) : nullptr);
    for (int i = 0; i < n; ++i) {
        const std::string name = "Column " + std::to_string(i + 1);
        m_new_layout->define_field(i, name.c_str(), name.c_str(), VyrPacketLayout::Utf8Text, 250);
    }
}

void VyrRtLog::set_column(int index, const QString &title, const QString &tool_tip, int width)
{
    if (!m_new_layout || index < 0 || index >= m_new_layout->field_count())
        return;
    m_new_layout->define_field(index, title.toUtf8().constData(), tool_tip.toUtf8().constData(),
                               VyrPacketLayout::Utf8Text, width);
}

void VyrRtLog::apply_columns()
{
    // Layout and packet change together, and the display takes the new
    // columns, while no row is being built on the old ones.
    std::lock_guard<std::mutex> lock(m_mutex);
    std::unique_ptr<VyrPacketLayout> layout;
    if (m_new_layout) {
        layout = std::make_unique<VyrPacketLayout>(m_new_layout->field_count());
        for (int i = 0; i < m_new_layout->field_count(); ++i)
            layout->define_field(i, m_new_layout->field_name(i).c_str(), m_new_layout->field_text(i).c_str(),
                                 m_new_layout->field_type(i), m_new_layout->field_max_size(i));
    }
    m_packet.reset(layout ? new VyrPacket(layout.get()) : nullptr);
    m_display->set_layout(layout.get());
    m_layout = std::move(layout);
}

void VyrRtLog::add_message(int flags, const char *text1, const char *text2, const char *text3, const char *text4,
                           const char *text5, const char *text6, const char *text7, const char *text8)
{
    const char *const texts[max_columns] = {text1, text2, text3, text4, text5, text6, text7, text8};
    std::lock_guard<std::mutex> lock(m_mutex);
    add_row_locked(flags, texts);
}

void VyrRtLog::add_row_locked(int flags, const char *const texts[max_columns])
{
    if (!m_packet)
        return;
    m_packet->clear();
    if (m_time_source)
        m_packet->set_time_ms(m_time_source());
    m_packet->set_counter(uint32_t(m_row_counter));
    for (int i = 0; i < max_columns && i < m_layout->field_count(); ++i)
        if (texts[i])
            m_packet->set_string_field(i, texts[i]);
    m_packet->set_flags(uint8_t(m_packet->flags() | flags));
    m_display->store()->on_packet(*m_packet);

    if (m_file) {
        std::fprintf(m_file, "%6d\t", m_row_counter);
        if (m_packet->flags() & VyrPacket::TimeValid) {
            const unsigned long ms = m_packet->time_ms();
            std::fprintf(m_file, "%3lu.%03lu\t", ms / 1000, ms % 1000);
        } else {
            std::fputs("       \t", m_file);
        }
        for (int i = 0; i < max_columns; ++i)
            if (texts[i])
                std::fprintf(m_file, i == 0 ? "%s" : "\t%s", texts[i]);
        std::fputc('\n', m_file);
    }
    ++m_row_counter;
}

void VyrRtLog::set_time_source(std::function<uint32_t()> time_ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_time_source = std::move(time_ms);
}

bool VyrRtLog::start_logging_to_file(const QString &file_name)
{
    stop_logging_to_file();
    FILE *file = std::fopen(QFile::encodeName(file_name).constData(), "w");
    if (!file)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file = file;
    m_file_name = file_name;
    return true;
}

void VyrRtLog::stop_logging_to_file()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file)
        return;
    const QByteArray row = tr("Log to File '%1' stopped").arg(m_file_name).toUtf8();
    const char *const texts[max_columns] = {row.constData()};
    add_row_locked(0, texts);
    std::fclose(m_file);
    m_file = nullptr;
    m_file_name.clear();
}

void VyrRtLog::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_timer_id)
        m_display->update();
    else
        QWidget::timerEvent(event);
}

void VyrRtLog::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_display->clear();
    m_row_counter = 1;
}

bool VyrRtLog::copy_all_messages_to_file(const QString &file_name)
{
    return m_display->copy_all_messages_to_file(file_name);
}

void VyrRtLog::write_configuration(QtbConfigGroup *group)
{
    if (!group || m_config_key.isEmpty())
        return;
    const QByteArray key = m_config_key.toLatin1();
    if (QtbConfigValue *old = group->find_entry(key.constData()))
        group->remove_value(old);
    m_display->write_configuration(group->add_group(key.constData()));
}

void VyrRtLog::read_configuration(QtbConfigGroup *group)
{
    if (!group || m_config_key.isEmpty())
        return;
    if (QtbConfigGroup *settings = group->get_group(m_config_key.toLatin1().constData()))
        m_display->read_configuration(settings);
}

void VyrRtLog::show_context_menu(const QPoint &global_position)
{
    QMenu menu(this);
    menu.addAction(tr("Clear"), this, &VyrRtLog::clear);
    menu.addSeparator();
    QMenu *sizes = menu.addMenu(tr("Font Size"));
    for (int size : font_sizes) {
        QAction *action = sizes->addAction(QString::number(size), [this, size] { m_display->set_font_size(size); });
        action->setCheckable(true);
        action->setChecked(size == m_display->font_size());
    }
    menu.addSeparator();
    menu.addAction(tr("Copy Selected Messages to Clipboard"), m_display,
                   &VyrPacketDisplay::copy_selected_messages_to_clipboard);
    menu.addAction(tr("Copy All Messages to Clipboard"), m_display, &VyrPacketDisplay::copy_all_messages_to_clipboard);
    menu.addAction(tr("Clear Selection"), m_display, &VyrPacketDisplay::deselect_all);
    menu.addSeparator();
    menu.exec(global_position);
}
