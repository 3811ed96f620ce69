#pragma once
// Character sources of the script compiler: the abstract source that the
// lexer reads, and the in-memory source with which every predefined header is
// compiled. The file source with its include stack belongs to the interface
// script hosting.
#include <cstddef>
#include <string>

class ScriptSource {
public:
    static constexpr int kEnd = -1;

    virtual ~ScriptSource() = default;

    // The next character (0..255), or kEnd at the end.
    virtual int get_char() = 0;
    // Steps back one character. The lexer may step back two characters in a
    // row (after ".." and after a number followed by "x").
    virtual void unget_char(int c) = 0;
    // 0 on success, nonzero on failure.
    virtual int open() { return 0; }
    virtual int close() { return 0; }
    virtual void set_file_name(const char *name) {}
    // The name of the file being read, for messages; empty for a text in memory.
    virtual std::string file_name() const { return std::string(); }
    virtual int spare_query() { return 0; }
    // Makes room for a nested file, remembering the current line of the
    // including one; negative when the nesting limit is reached.
    virtual int push_include(int line) { return -1; }
    // Returns to the including file and restores its line number into *line;
    // negative when there is none.
    virtual int pop_include(int *line) { return -1; }
};

// A text in memory; it has no includes, so its end is the end of input.
class ScriptStringSource : public ScriptSource {
public:

    int get_char() override;
    void unget_char(int c) override;

    // Replaces the text and rewinds to its start; a null text leaves an
    // empty source that yields nothing.
    void set_text(const char *text);
    // Appends to the text; the read position keeps its offset.
    void append_text(const char *text);

    const std::string &text() const { return text_; }

private:
    std::string text_;
    bool readable_ = false; // false until a text is set
    size_t position_ = 0;
};
