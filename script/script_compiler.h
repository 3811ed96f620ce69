#pragma once
// The front end of the script language: it owns the lexer, drives the grammar
// over a character source, emits into a PCodeMachine and declares symbols in
// a ScriptSymbolTable. Its virtual operations are where an interface's
// compilation host takes over error reporting and the handling of event
// handlers, signals and environment variables.
//
// One compiler object serves one compilation context: the predefined headers
// and then the user's script are compiled one after another into the same
// machine and symbol table. The grammar's actions work directly on the parse
// state below.
#include <cstdarg>
#include <cstdint>
#include <string>

class PCodeMachine;
class ScriptFunction;
class ScriptSource;
class ScriptStructType;
class ScriptSymbol;
class ScriptSymbolTable;
class ScriptVariable;

// The value of a token: an int, a double or a text, depending on the token.
struct ScriptTokenValue {
    int32_t int_value = 0;
    double double_value = 0.0;
    const char *text = nullptr;
};

// One parameter of the function declaration that the grammar is collecting.
struct ScriptParamDecl {
    uint32_t type = 0;
    ScriptStructType *struct_type = nullptr;
    bool reference = false;
    bool array = false;
    const char *name = nullptr; // valid while the declaration is read; the function symbol copies it
};

class ScriptCompiler {
public:
    // Identifier and literal buffers: 512 characters and the terminating zero.
    static constexpr int kTextBufferSize = 513;
    static constexpr int kMaxParams = 65;
    // Files open at once through #include, the outermost one included.
    static constexpr int kMaxIncludeDepth = 8;

    ScriptCompiler();
    ScriptCompiler(const ScriptCompiler &) = delete;
    ScriptCompiler &operator=(const ScriptCompiler &) = delete;
    virtual ~ScriptCompiler() = default;

    // Compiles the source into the machine and the symbol table: 0 on
    // success, -2 when the source cannot be opened, -3 when the keyword table
    // cannot be built or the machine, the symbol table or the source is
    // missing, -1 when the lexer reported an error the grammar did not see
    // (a string constant cut at its length limit), else the grammar's result.
    int compile();

    // The lexer: the next token's code (see script_tokens.h), its value in *value.
    int next_token(ScriptTokenValue *value);
    // Makes the next next_token return this token again (one token of look-back). 0.
    int push_back_token(const ScriptTokenValue &value, int code);

    // --- Declarations and lookups on the current scope level ---
    ScriptVariable *declare_variable(const char *name, uint32_t type, ScriptStructType *struct_type, int dim1,
                                     int dim2, bool copy_name);
    // Gives storage to a variable whose first dimension became known later;
    // false after an error.
    bool allocate_variable(ScriptVariable *variable, int dim1);
    // Storage of `bytes` from `start` on, in the frame of the function being
    // compiled or else in the data memory. The running total is counted in 64
    // bits: past the int range it is refused with "Array too large.", and data
    // memory that cannot grow fails the compilation. False after an error.
    bool reserve_storage(int64_t start, int64_t bytes);
    // Where new storage starts: the end of the frame inside a function, the
    // data top inside a handler's block, and at global level the data's
    // high-water mark. Blocks give their bytes back when they close, so a
    // global declared after a handler must not land on what that handler
    // still writes each time it runs (its variables and text arguments).
    int64_t storage_start() const;
    // Declares the function with the collected parameter list, or matches it
    // with its earlier prototype. 0, or -1 after an error.
    int declare_function(const char *name, bool copy_name);
    // The innermost variable or constant of this name, or null.
    ScriptSymbol *find_value_symbol(const char *name) const;
    // The innermost symbol of any kind of this name, or null.
    ScriptSymbol *find_symbol(const char *name) const;

    // --- Variable access code ---
    // Loads (access ACCESS_READ) or increments / decrements the variable;
    // answers the type of the value left on the stack (int for char and
    // byte), 0 when there is none.
    uint32_t emit_load(uint32_t address, uint32_t type, bool local, int access, bool address_on_stack,
                       bool reference, uint32_t tag);
    // Stores the value on the stack into the target; answers the stored
    // type, or 0 when nothing was stored.
    uint32_t emit_store(uint32_t address, uint32_t value_type, uint32_t target_type, bool local,
                        bool address_on_stack, uint32_t tag, bool reference);

    // --- Operations an interface's compilation host overrides ---
    // Reports an error; the base prints only the first error of the object's life.
    virtual void error(const char *format, ...) __attribute__((format(printf, 2, 3)));
    virtual void warning(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Code-generation hooks for tagged symbols; the base does nothing.
    virtual void load_hook(uint32_t tag);
    virtual uint32_t load_type(uint32_t type, uint32_t tag);
    virtual void store_hook(uint32_t &value_type, uint32_t &target_type, uint32_t &tag);
    virtual void init_struct_hook(uint32_t tag);
    virtual void unget_char(int c);
    // Called by the grammar for each handler; may read the handler head with next_token.
    virtual int hook_detected(const char *name);
    virtual int declare_io(const char *name, int input, int output, int handler);
    // Answers the variable's id.
    virtual int declare_envvar(int type, const char *name, int is_extern);
    virtual int envvar_range(double min, double max);
    virtual int envvar_attributes(int rate, const char *type, const char *mode);

    // --- Parse state ---
    PCodeMachine *machine = nullptr;
    ScriptSource *source = nullptr;
    ScriptSymbolTable *symbols = nullptr;

    int scope_level = 0;
    int function_depth = 0; // nesting of function bodies

    // Two identifier buffers used alternately, so that the previous
    // identifier's text stays valid while the grammar looks one token ahead.
    char identifier_buffers[2][kTextBufferSize] = {};
    char literal_buffer[kTextBufferSize] = {}; // string and character constants
    std::string number_text;

    // The function declaration being collected.
    int param_count = 0;
    ScriptParamDecl params[kMaxParams];
    ScriptFunction *current_function = nullptr;
    uint32_t result_type = 0;
    bool variadic = false;
    int frame_size = 0;

    bool compatibility = true; // adds the alias keywords of the older dialect
    bool optimise = true;      // the emitter's short encodings
    bool bounds_check = false; // array addresses carry their size bound, indexes are checked

    // Kept by the grammar for the compiler's life: labels stay unique across
    // its compilations, and only its first function body is preceded by OP_END.
    int last_label = 0;
    int function_bodies = 0;

    int line = 1;
    bool error_reported = false; // never cleared: the base error reports once
    // The source text of the last token read (empty at the end of input):
    // the token a syntax error is reported near.
    std::string token_text;

    // "file:line: text" at the current line of the file being read; a text
    // in memory has no file name and gives "line N: text".
    std::string located(const std::string &text) const;

protected:
    // printf formatting cut to at most limit characters.
    static std::string format_message(size_t limit, const char *format, va_list args);

private:
    int read_char();
    void unread_char(int c);
    int skip_block_comment();
    void skip_line();
    int read_directive();
    int identifier_token(int c, ScriptTokenValue *value);
    int number_token(int c, ScriptTokenValue *value);
    int string_token(ScriptTokenValue *value);
    void skip_string_rest();
    int char_token(ScriptTokenValue *value);
    int operator_token(int c);

    bool has_pushed_token_ = false;
    int pushed_code_ = 0;
    ScriptTokenValue pushed_value_;
    // An error the lexer reported without handing the grammar an error token.
    bool lexical_error_ = false;
};
