#pragma once
// The log sink of description-file readers working for an interface: their
// messages go to the interface's log as "(file:line) text".
#include "core/candb_file_io.h"

class VyrSignalIf;

class VyrSignalIfReporter : public CANdbFileIoReporter
{
public:
    explicit VyrSignalIfReporter(VyrSignalIf *signal_if) : m_signal_if(signal_if) {}

    void info(int line, const char *file_name, const char *text) override;
    void error(int line, const char *file_name, const char *text) override;
    void warning(int line, const char *file_name, const char *text) override;

private:
    VyrSignalIf *m_signal_if;
};
