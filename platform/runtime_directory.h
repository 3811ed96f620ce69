#pragma once
// The runtime directory shared by the programs and the vrbus daemon of one
// user: $VRBUS_RUNTIME_DIR, else $XDG_RUNTIME_DIR/vrbus, else
// /tmp/vrbus-<uid>. It holds the daemon's socket, the volatile registry keys
// and the lock files, and goes away with the session.
#include <string>

namespace platform {

// The directory's path, created with mode 0700 when it is missing; an empty
// string when it cannot be created, or when it exists but belongs to another
// user or others may write into it.
std::string runtime_directory();

} // namespace platform
