#pragma once
// The main window's message window as the interfaces see it.
#include <string>

class VyrMessageLog
{
public:
    // Levels of log lines.
    enum Level { info = 2, warning = 3, error = 4 };

    virtual ~VyrMessageLog() = default;
    // Adds text to the message window; warnings and errors are highlighted.
    // Text without a final line end is collected until a line end arrives.
    // Called on the GUI thread only (the notification hub queues lines that
    // come from other threads).
    virtual void log_message(int level, const std::string &text) = 0;
};
