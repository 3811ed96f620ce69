#pragma once
// The driver's message log: the last messages in a ring of 32 lines of at
// most 80 characters, read one line at a time by a control code. A line that
// finds the ring full is dropped and counted; the next read then reports
// the loss once.
#include <cstdint>
#include <string>

class DriverLog
{
public:
    static constexpr int kLines = 32;
    static constexpr int kLineLength = 80;

    void add(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // The next line (the loss notice first), false when there is none.
    bool next(std::string *line);

private:
    char lines_[kLines][kLineLength + 1] = {};
    int first_ = 0;
    int count_ = 0;
    uint32_t lost_ = 0;
};
