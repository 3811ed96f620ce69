#pragma once
// File path helpers.
#include <QFileInfo>
#include <QString>

// Rewrites the absolute path of `file` relative to `base_dir`: both are made
// absolute and clean, the leading directories they share are dropped, one
// "../" is written for each remaining directory of the base, then the rest of
// the file's directories and its name. Answers 1 when rewritten, 0 when the
// path is relative already. Directory names compare exactly, as the file
// system does.
int make_path_relative(QFileInfo &file, const QString &base_dir);

// Cuts the extension of `name` (the text from a last "." that follows every
// "/", "\\" and ":") and appends "." and `extension`.
QString replace_extension(const QString &name, const QString &extension);

// A file name as stored in a configuration: files written on another system
// may separate directories with "\\", here they take "/".
QString stored_file_name(const QString &name);

// Directory of the running program file, with native separators. Works
// before the application object exists.
QString application_dir_path();
