#include "core/vyr_signal_if_reporter.h"

#include "core/vyr_signal_if.h"

static const char *or_empty(const char *text)
{
    return text ? text : "";
}

void VyrSignalIfReporter::info(int line, const char *file_name, const char *text)
{
    m_signal_if->message_printf("(%s:%d) %s\n", or_empty(file_name), line, or_empty(text));
}

void VyrSignalIfReporter::error(int line, const char *file_name, const char *text)
{
    m_signal_if->error_printf("(%s:%d) %s\n", or_empty(file_name), line, or_empty(text));
}

void VyrSignalIfReporter::warning(int line, const char *file_name, const char *text)
{
    m_signal_if->warning_printf("(%s:%d) %s\n", or_empty(file_name), line, or_empty(text));
}
