#pragma once
// The character source of an interface's script file: the file and the files
// it includes, up to eight open at once, read byte by byte.
#include "script/script_source.h"

#include <cstdio>
#include <string>
#include <vector>

class ScriptFileSource : public ScriptSource {
public:
    static constexpr int kMaxFiles = 8;
    static constexpr int kMaxPushedBack = 29;

    explicit ScriptFileSource(const std::string &file_name);
    ~ScriptFileSource() override; // closes every file still open
    ScriptFileSource(const ScriptFileSource &) = delete;
    ScriptFileSource &operator=(const ScriptFileSource &) = delete;

    // Characters stepped back come first, then the current file's.
    int get_char() override;
    void unget_char(int c) override;
    // Opens the current file for reading; -1 when it cannot.
    int open() override;
    int close() override;
    void set_file_name(const char *name) override;
    // The innermost file: the one an included file's lines belong to.
    std::string file_name() const override { return files_.back().name; }
    int push_include(int line) override;
    // Closes the included file and goes back to the one that included it.
    int pop_include(int *line) override;

private:
    struct File {
        std::string name;
        std::FILE *stream = nullptr;
        int saved_line = 0; // the including file's line when this one was opened
    };

    std::vector<File> files_; // the innermost file last
    std::vector<int> pushed_back_;
};
