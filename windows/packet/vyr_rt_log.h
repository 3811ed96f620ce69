#pragma once
// A log of text rows, such as the main window's message log and the rows a
// plug-in interface adds: rows of up to eight column texts, added from any
// thread, shown with a row counter and a time stamp in a packet display,
// and copied into a text file while one is open.
#include <QString>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>

class QtbConfigGroup;
class VyrPacket;
class VyrPacketDisplay;
class VyrPacketLayout;

class VyrRtLog : public QWidget
{
    Q_OBJECT
public:
    static constexpr int max_columns = 8;
    static constexpr int pull_interval_ms = 200;

    explicit VyrRtLog(QWidget *parent);
    // Writes the "stopped" row into an open file and closes it.
    ~VyrRtLog() override;

    // The columns are set up aside, in this order, and take effect with
    // apply_columns; rows keep using the applied columns meanwhile.
    // n columns named "Column 1" ... of UTF-8 text, 250 bytes each.
    void set_column_count(int n);
    // The width is the most bytes kept of a text and the column's width in
    // characters. An index outside the columns is ignored.
    void set_column(int index, const QString &title, const QString &tool_tip, int width);
    void apply_columns();

    // One row; null texts leave their cells empty, texts for columns that do
    // not exist are ignored. flags is OR-ed into the row's flags (0x08 draws
    // it in red). Dropped until columns have been applied. Any thread.
    void add_message(int flags, const char *text1, const char *text2 = nullptr, const char *text3 = nullptr,
                     const char *text4 = nullptr, const char *text5 = nullptr, const char *text6 = nullptr,
                     const char *text7 = nullptr, const char *text8 = nullptr);

    // The clock in ms that stamps each row (none: rows carry no time).
    void set_time_source(std::function<uint32_t()> time_ms);
    // Copies every following row into the file (created or truncated);
    // false when it cannot be opened.
    bool start_logging_to_file(const QString &file_name);
    // Adds the row "Log to File '<name>' stopped", the file's last line,
    // and closes the file.
    void stop_logging_to_file();

    // The name of the sub-group that keeps the display's settings; empty:
    // they are not kept.
    void set_config_key(const QString &key) { m_config_key = key; }
    VyrPacketDisplay *display() const { return m_display; }

public slots:
    void show_context_menu(const QPoint &global_position);
    void clear();
    void write_configuration(QtbConfigGroup *group);
    void read_configuration(QtbConfigGroup *group);
    bool copy_all_messages_to_file(const QString &file_name);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void add_row_locked(int flags, const char *const texts[max_columns]);

    VyrPacketDisplay *m_display;
    // Being set up by set_column_count and set_column.
    std::unique_ptr<VyrPacketLayout> m_new_layout;
    // Applied: rows are built on them, under the mutex.
    std::mutex m_mutex;
    std::unique_ptr<VyrPacketLayout> m_layout;
    std::unique_ptr<VyrPacket> m_packet;
    int m_row_counter = 1;
    std::function<uint32_t()> m_time_source;
    FILE *m_file = nullptr;
    QString m_file_name;
    QString m_config_key;
    int m_timer_id;
};
