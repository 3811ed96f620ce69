#pragma once
// Turns the texts that callers write to the message window into rows: every
// call makes a row of its own, without its line end. Texts from interface
// threads are never held back for a line end that may not come (a warning
// without one would wait for the next text of its thread, or forever) nor
// joined with another call's text.
#include <functional>
#include <string>

class VyrMessageLines
{
public:
    // Levels 3 (warning) and 4 (error) give marked rows.
    static constexpr int marked_row = 8;

    // Receives each row with its flags (0 or marked_row); called on the
    // thread that wrote the text.
    using RowSink = std::function<void(int flags, const std::string &row)>;

    explicit VyrMessageLines(RowSink sink) : m_sink(std::move(sink)) {}

    // Any thread. A null or empty text does nothing; a text of only a line
    // end is an empty row.
    void add(int level, const char *text) const;

private:
    RowSink m_sink;
};
