#pragma once
// Joins the parts of lines that callers write to the message window into
// whole rows. A text ending with a line end completes a row; a text without
// one waits until one arrives. Each calling thread collects its own pending
// part, so interface threads and the GUI thread never mix their parts; a
// pending part longer than max_pending is handed on as a row of its own.
// Finished rows go to the row sink outside any lock of this class, so a
// realtime thread waits at most for another thread's short map update,
// never for the GUI.
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

class VyrMessageLines
{
public:
    // Levels 3 (warning) and 4 (error) give marked rows.
    static constexpr int marked_row = 8;
    static constexpr size_t max_pending = 1000;

    // Receives each finished row with its flags (0 or marked_row); called on
    // the thread that completed the row.
    using RowSink = std::function<void(int flags, const std::string &row)>;

    explicit VyrMessageLines(RowSink sink) : m_sink(std::move(sink)) {}

    // Any thread. A null or empty text does nothing.
    void add(int level, const char *text);

private:
    RowSink m_sink;
    std::mutex m_mutex;
    std::unordered_map<std::thread::id, std::string> m_pending; // only threads with a pending part
};
