#pragma once
// The program as a service: the main window built on the offscreen platform,
// the configuration loaded and the measurement started at once. Pause stops
// the measurement, resume starts it again, stop ends the program; the
// handlers run on the service's control thread and only post events to the
// main window.
#include "lib/qtservice/qtservice.h"

#include <cstdint>
#include <mutex>

class VyrMain;

class VyrService : public QtService
{
public:
    VyrService();

    // The main window while run builds and runs it, else null.
    VyrMain *main_window();

protected:
    int run(int argc, char **argv) override;
    void stop() override;
    void pause() override;
    void resume() override;
    void user(int code) override;

private:
    // Posts one custom event to the main window, when it exists.
    void post_to_main_window(int type, uint32_t word = 0);

    // Set and cleared by run in the GUI thread, read by the handlers on the
    // control thread: the mutex keeps a post from meeting a deleted window.
    std::mutex m_main_window_mutex;
    VyrMain *m_main_window = nullptr;
    // A stop that came before the window was there: run ends at once.
    bool m_stop_requested = false;
};
