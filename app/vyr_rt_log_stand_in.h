#pragma once
// Stand-in for the real-time log window until the data-window library
// provides it: the same calls, rows shown in a list, added from any thread.
#include <QFile>
#include <QListWidget>
#include <QMetaObject>

#include <mutex>

class VyrRtLog : public QListWidget
{
public:
    explicit VyrRtLog(QWidget *parent) : QListWidget(parent) {}

    void set_column_count(int) {}
    void set_column(int, const QString &, const QString &, int) {}
    void apply_columns() {}
    void set_config_key(const QString &) {}

    void add_message(int flags, const char *text)
    {
        const QString row = QString::fromUtf8(text);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_rows.append(row);
        }
        QMetaObject::invokeMethod(
            this,
            [this, row, flags] {
                addItem(row.trimmed());
                if (flags & 8)
                    item(count() - 1)->setForeground(Qt::red);
            },
            Qt::QueuedConnection);
    }

    bool copy_all_messages_to_file(const QString &file_name)
    {
        QFile file(file_name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const QString &row : m_rows)
            file.write(row.toUtf8());
        return true;
    }

private:
    std::mutex m_mutex;
    QStringList m_rows;
};
