#include "script/script_file_source.h"

ScriptFileSource::ScriptFileSource(const std::string &file_name)
{
    files_.push_back(File{file_name});
}

ScriptFileSource::~ScriptFileSource()
{
    for (File &file : files_)
        if (file.stream)
            std::fclose(file.stream);
}

int ScriptFileSource::get_char()
{
    if (!pushed_back_.empty()) {
        const int c = pushed_back_.back();
        pushed_back_.pop_back();
        return c;
    }
    std::FILE *stream = files_.back().stream;
    if (!stream)
        return kEnd;
    const int c = std::fgetc(stream);
    return c == EOF ? kEnd : c;
}

void ScriptFileSource::unget_char(int c)
{
    if (c != kEnd && int(pushed_back_.size()) < kMaxPushedBack)
        pushed_back_.push_back(c);
}

int ScriptFileSource::open()
{
    File &file = files_.back();
    if (file.stream)
        std::fclose(file.stream);
    file.stream = std::fopen(file.name.c_str(), "rb");
    return file.stream ? 0 : -1;
}

int ScriptFileSource::close()
{
    File &file = files_.back();
    if (file.stream)
        std::fclose(file.stream);
    file.stream = nullptr;
    return 0;
}

void ScriptFileSource::set_file_name(const char *name)
{
    files_.back().name = name ? name : "";
}

int ScriptFileSource::push_include(int line)
{
    if (int(files_.size()) >= kMaxFiles)
        return -1;
    files_.push_back(File{std::string(), nullptr, line});
    return 0;
}

int ScriptFileSource::pop_include(int *line)
{
    if (files_.size() < 2)
        return -1;
    close();
    if (line)
        *line = files_.back().saved_line;
    files_.pop_back();
    return 0;
}
