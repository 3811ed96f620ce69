#include "driver/driver_log.h"

#include <cstdarg>
#include <cstdio>

void DriverLog::add(const char *format, ...)
{
    if (count_ == kLines) {
        ++lost_;
        return;
    }
    char *line = lines_[(first_ + count_) % kLines];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, kLineLength + 1, format, args);
    va_end(args);
    ++count_;
}

bool DriverLog::next(std::string *line)
{
    if (lost_ != 0) {
        lost_ = 0;
        *line = "ERROR: Messages lost";
        return true;
    }
    if (count_ == 0)
        return false;
    *line = lines_[first_];
    first_ = (first_ + 1) % kLines;
    --count_;
    return true;
}
