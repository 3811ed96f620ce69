// Loads each DBC file named on the command line once, as the program loads a
// database (a fresh network, the file read and parsed, no messages printed),
// and prints the processor time each load took (the thread's CPU time, which
// other work on a shared machine does not lengthen): "<microseconds> <file>"
// a line, or "failed <file>" for a file the reader refuses. The peer
// comparison bench/description_dbc_peer.py runs it.
#include "core/candb_network.h"
#include "description/dbc/dbc_file_io.h"

#include <cstdio>
#include <ctime>

namespace {

double thread_cpu_micros()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

} // namespace

int main(int argc, char **argv)
{
    for (int k = 1; k < argc; ++k) {
        const double started = thread_cpu_micros();
        CANdbNetwork network;
        DbcFileIo reader(argv[k]);
        const int result = reader.read_quiet(&network);
        const double micros = thread_cpu_micros() - started;
        if (result != 0)
            std::printf("failed %s\n", argv[k]);
        else
            std::printf("%.3f %s\n", micros, argv[k]);
    }
    return 0;
}
