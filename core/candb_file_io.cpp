#include "core/candb_file_io.h"

#include "core/candb_network.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CANdbFileIo::CANdbFileIo(const char *name)
{
    set_file_name(name);
}

void CANdbFileIo::set_file_name(const char *name)
{
    has_file_name_ = name != nullptr;
    file_name_ = name ? name : "";
}

void CANdbFileIo::report(Level level, const char *text)
{
    if (reporter_) {
        const char *name = file_name();
        switch (level) {
        case Info:
            reporter_->info(line_number_, name, text);
            break;
        case Error:
            reporter_->error(line_number_, name, text);
            break;
        case Warning:
            reporter_->warning(line_number_, name, text);
            break;
        }
        return;
    }
    switch (level) {
    case Info:
        std::printf("%s\n", text);
        break;
    case Error:
        std::printf("Error (line %d): %s\n", line_number_, text);
        break;
    case Warning:
        std::printf("Warning (line %d): %s\n", line_number_, text);
        break;
    }
    std::fflush(stdout);
}

void CANdbFileIo::report_formatted(Level level, const char *format, va_list args)
{
    char text[kMessageBufferSize];
    text[0] = '\0'; // stays a valid text when formatting fails
    std::vsnprintf(text, sizeof text, format, args);
    report(level, text);
}

void CANdbFileIo::info(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    report_formatted(Info, format, args);
    va_end(args);
}

void CANdbFileIo::error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    report_formatted(Error, format, args);
    va_end(args);
}

void CANdbFileIo::warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    report_formatted(Warning, format, args);
    va_end(args);
}

void CANdbFileIo::set_source_name(CANdbNetwork *network) const
{
    if (!network)
        return;
    if (!has_file_name_) {
        network->set_source_name("unkown");
        return;
    }
    const char *base = file_name_.c_str();
    for (const char *p = base; *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    size_t length = std::strcspn(base, ".");
    if (length > static_cast<size_t>(kMaxSourceName))
        length = kMaxSourceName;
    network->source_name.assign(base, length);
}

int64_t CANdbFileIo::atoi64_or_zero(const char *text)
{
    if (!text)
        return 0;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    // Unsigned arithmetic: an overflowing number wraps instead of being undefined.
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10 + static_cast<uint64_t>(*text - '0');
    return static_cast<int64_t>(negative ? 0 - value : value);
}
