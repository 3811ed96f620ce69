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
    // Called on the GUI thread only, unless any_thread() says otherwise (the
    // notification hub then calls it from the interface threads directly;
    // else it queues their lines to the GUI thread).
    virtual void log_message(int level, const std::string &text) = 0;
    // True when log_message may be called from any thread and never waits
    // for the GUI thread.
    virtual bool any_thread() const { return false; }
};
