#pragma once
// Every save of a whole file goes through here, so that a crash, a full disc
// or a failed write never leaves a cut file in place of the old one.
#include <QString>

#include <string>

// Replaces the file at `path` with `contents`: writes a temporary file in
// the same folder, flushes it to the disc (fsync) and renames it over the
// target, which keeps its permissions. 0 on success; -1 when any step fails,
// in which case the old file stays as it was, no temporary file is left and
// the debug trace names the call that failed and why.
int save_file(const QString &path, const std::string &contents);
