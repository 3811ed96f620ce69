#pragma once
// The semantic actions of the script grammar: ScriptCodeGen turns each
// construct that the parser reduces into byte code for the compiler's
// machine and into symbols of its symbol table, checks it and reports what
// it refuses through the compiler's error operation.
//
// One object lives for one parse. Every operation that can refuse its
// construct answers false after reporting; the parser then ends with -1.
#include "script/script_types.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class PCodeMachine;
class ScriptCompiler;
class ScriptFunction;
class ScriptStructType;
class ScriptVariable;

// The record that every grammar symbol carries. Which fields count depends
// on the symbol:
// - a token or name: text (kept for the whole parse), int_value, double_value;
// - an operator: token;
// - a constant expression: type, int_value, double_value;
// - a datatype: type, struct_type, reference;
// - an operand (variable, lvalue or expression): variable, type,
//   end_position, address, tag and the four flags, plus indexes.
struct ScriptParseValue {
    const char *text;
    int token;
    uint32_t type; // type code; TYPE_ARRAY for an array or a row of one
    int32_t int_value;
    double double_value;
    ScriptStructType *struct_type;

    ScriptVariable *variable; // the variable designated, null for computed values
    int32_t end_position;     // code position at the end of the operand's code
    uint32_t address;         // global address or frame offset, member offsets added
    uint32_t tag;             // sum of the tags of the variable and the members reached
    bool local;
    bool value_only;       // a constant: its value is pushed, it cannot be assigned
    bool address_on_stack; // the address was computed at run time
    bool reference;        // the address holds a pointer to the data
    int indexes;           // indexes applied to the variable (a row after one of two)
};

class ScriptCodeGen {
public:
    // Limits of the nesting tables; deeper nesting is refused with "Nesting too deep".
    static constexpr int kMaxOpenCalls = 64;
    static constexpr int kMaxControlDepth = 64;
    static constexpr int kMaxInitLevels = 5;
    static constexpr int kMaxParameters = 64;

    explicit ScriptCodeGen(ScriptCompiler *compiler);
    ~ScriptCodeGen();
    ScriptCodeGen(const ScriptCodeGen &) = delete;
    ScriptCodeGen &operator=(const ScriptCodeGen &) = delete;

    // --- Parser plumbing ---
    // The next token from the compiler's lexer; texts are kept for the parse.
    int next_token(ScriptParseValue *value);
    void syntax_error(const char *message);
    // Where a syntax error is: "near `<the token's text>'", or "at the end of
    // the input" when no token is left.
    std::string error_position() const;
    void fail() { failed_ = true; }
    void end_parse();
    bool failed() const { return failed_ || reference_type_error_; }
    int32_t code_position() const;

    // --- Top level, handlers, signals, environment variables ---
    void begin_internal() { internal_ = true; }
    bool announce(const char *name, const char *refusal);
    void announce_variables();
    void end_handler();
    void default_hook_range();
    void hook_range(const ScriptParseValue &min, const ScriptParseValue &max);
    bool default_hook_attributes();
    void hook_attributes(int rate, const char *unit, const char *type, const char *mode);
    bool signal_attributes(const char *type);
    bool declare_io(const char *name, int input, int output, int handler, const char *refusal);
    bool define_envvar(int type_token, const char *name, bool is_extern);

    // --- Types, constants and constant expressions ---
    void base_type(uint32_t type, ScriptParseValue *out);
    bool struct_type_named(const char *name, ScriptParseValue *out);
    bool message_type(const char *name, ScriptParseValue *out);
    void set_datatype(const ScriptParseValue &type);
    void set_void_datatype();
    void begin_struct();
    bool add_struct_component(const ScriptParseValue &type, const char *name, const ScriptParseValue *dimension);
    void end_struct(const char *name);
    void begin_enum() { enum_counter_ = 0; }
    bool enum_value(const char *name, const ScriptParseValue *value);
    bool define_constant(const char *name, const ScriptParseValue &value);

    void const_int(int32_t value, ScriptParseValue *out);
    void const_double(double value, ScriptParseValue *out);
    void const_char(const char *text, ScriptParseValue *out);
    bool const_name(const char *name, ScriptParseValue *out);
    bool const_unary(int op, const ScriptParseValue &a, ScriptParseValue *out);
    bool const_binary(int op, const ScriptParseValue &a, const ScriptParseValue &b, ScriptParseValue *out);

    // --- Variables and initializers ---
    bool declare_variable(const char *name);
    bool declare_array(const char *name, const ScriptParseValue &dim1, const ScriptParseValue &dim2);
    bool declare_open_array(const char *name, const ScriptParseValue &dim2);
    bool declare_anonymous_struct_variable(const char *name);
    bool initialize_with_value(const ScriptParseValue &value);
    bool end_variable();

    bool begin_initializer();
    bool end_initializer();
    bool initialize_with_text(const char *text);
    bool initializer_value(const ScriptParseValue &value);
    bool initializer_member_value(const char *name, const ScriptParseValue &value);
    bool initializer_text(const char *text);
    bool open_initializer_level();
    bool open_member_initializer(const char *name);
    bool close_initializer_level();

    // --- Functions and blocks ---
    bool begin_function_declaration(const char *name);
    bool add_parameter(const ScriptParseValue &type, const char *name, bool array);
    void set_variadic();
    bool declare_function();
    void end_prototype();
    bool begin_function_body();
    void end_function_body();
    void open_block();
    void close_block();

    // --- Statements ---
    bool begin_if(const ScriptParseValue &condition);
    void begin_else();
    void end_if();
    bool begin_while(int32_t start, const ScriptParseValue &condition);
    void end_while();
    bool begin_do();
    void do_condition();
    bool end_do(const ScriptParseValue &condition);
    bool for_condition(int32_t test, const ScriptParseValue &condition);
    void begin_for_body();
    void end_for();
    bool begin_switch(const ScriptParseValue &value);
    bool case_label(const ScriptParseValue &value);
    bool default_label();
    void end_switch();
    bool break_statement();
    bool continue_statement();
    bool return_value(const ScriptParseValue &value);
    void return_void();

    // --- Expressions ---
    void push_int_constant(int32_t value, ScriptParseValue *out);
    void push_double_constant(double value, ScriptParseValue *out);
    void push_char_constant(const char *text, ScriptParseValue *out);
    bool name_operand(const char *name, ScriptParseValue *out);
    bool member(const ScriptParseValue &base, const char *name, ScriptParseValue *out);
    bool byte_base(const ScriptParseValue &base, ScriptParseValue *out);
    bool index_base(const ScriptParseValue &array);
    bool index(const ScriptParseValue &array, const ScriptParseValue &offset, ScriptParseValue *out);
    bool load(const ScriptParseValue &operand, ScriptParseValue *out);
    bool increment(const ScriptParseValue &operand, int access, ScriptParseValue *out);
    bool element_count(const ScriptParseValue &operand, ScriptParseValue *out);
    bool size_of_name(const char *name, ScriptParseValue *out);
    bool unary(int op, const ScriptParseValue &a, ScriptParseValue *out);
    bool cast(uint32_t type, const ScriptParseValue &a, ScriptParseValue *out);
    bool binary(int op, const ScriptParseValue &a, const ScriptParseValue &b, ScriptParseValue *out);

    bool begin_call(const char *name);
    bool argument_value(const ScriptParseValue &value);
    bool argument_reference(const char *name);
    bool argument_text(const char *text);
    bool end_call(ScriptParseValue *out);

    // --- Assignments ---
    bool assign(const ScriptParseValue &target, const ScriptParseValue &value);
    bool compound_assign(const ScriptParseValue &target, int op, const ScriptParseValue &value);
    void discard_value();

private:
    // An open if, while, do, for or switch.
    struct Control {
        int kind = 0;              // T_IF, T_WHILE, T_DO, T_FOR or T_SWITCH
        int end_label = 0;
        int second_label = 0;      // else, continue or default label
        int32_t start = 0;         // label resolution starts here
        int32_t loop_start = 0;    // while: its condition; for: its test
        int32_t step_start = 0;    // for
        int32_t step_length = 0;   // for
        int32_t table_operand = 0; // switch: operand of OP_SWITCH
        bool default_seen = false; // switch
        std::vector<std::pair<int32_t, int32_t>> cases; // switch: value, code position
    };

    // A call whose arguments are being compiled.
    struct OpenCall {
        ScriptFunction *function = nullptr;
        int arguments = 0;
    };

    // One level of an initializer list.
    struct InitLevel {
        ScriptStructType *struct_type = nullptr; // a struct level: its members
        uint32_t element_type = TYPE_UNDEFINED;  // an array level: its elements
        ScriptStructType *element_struct = nullptr;
        int element_size = 0;
        int dimension = 0; // elements allowed, 0 = not known
        int dimension_index = 0;
        bool append = true;    // appends new bytes, else writes into reserved ones
        int32_t position = 0;  // where the level's bytes begin (reserved bytes)
        int count = 0;         // elements or nested lists so far
        int next_member = 0;   // a struct level
    };

    bool error(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void warning(const char *format, ...) __attribute__((format(printf, 2, 3)));
    const char *keep(const char *text);

    // Emitting, through the machine's emitter.
    void emit(int opcode);
    void emit_with_int(int opcode, int32_t operand);
    void insert(int opcode, int32_t position);
    void push_int(int32_t value);
    void push_double(double value);
    void push_address(uint32_t address, bool local);
    void set_size(int32_t size);
    void pop(int cells);
    // 1 when a rule rewrote the code.
    int optimise(bool report_bounds = false);
    int new_label();
    void resolve(int32_t start, int label);
    bool bounds_check() const;

    // Operand helpers.
    void computed(uint32_t type, ScriptParseValue *out) const;
    void convert_condition(const ScriptParseValue &condition);
    void signal_struct_raw(ScriptParseValue *operand);
    void push_pointer(const ScriptParseValue &operand);
    void bound_member_array(const ScriptParseValue &array);
    void push_count_argument();
    bool in_function() const;
    bool hides_parameter(const char *name) const;
    ScriptStructType *visible_struct_type(const char *name) const;
    bool dimension(const ScriptParseValue &value, int *dimension);
    void emit_zero_bytes(int count);
    void write_initial_value(uint32_t type, const ScriptParseValue &value, bool append, int32_t position,
                             const char *truncation_warning);

    Control *innermost(bool (*accept)(int kind));
    Control *open_switch();
    bool push_control(int kind);

    ScriptCompiler *compiler_;
    PCodeMachine *machine_;
    const int start_scope_level_;
    const int start_function_depth_;
    bool failed_ = false;
    bool internal_ = false;     // a predefined header
    bool in_variables_ = false; // inside a "variables" block

    // Texts of names and constants, kept as long as the parse runs.
    std::deque<std::string> texts_;

    // The declaration being read.
    uint32_t decl_type_ = TYPE_UNDEFINED;
    ScriptStructType *decl_struct_ = nullptr;
    ScriptVariable *current_variable_ = nullptr;
    bool open_array_ = false; // declared with "[]": the initializer gives the first dimension
    std::unique_ptr<ScriptStructType> struct_definition_;
    int enum_counter_ = 0;

    // The function being declared or compiled.
    const char *function_name_ = nullptr;
    int32_t frame_operand_ = -1; // position of OP_FRAME's size operand
    int largest_frame_ = 0;
    int skip_body_label_ = 0;      // a body inside a "variables" block is jumped over
    int32_t skip_body_start_ = 0;
    // A reference parameter of the wrong type: reported, the parse goes on, the result is -1.
    bool reference_type_error_ = false;

    // What a block restores when it closes: the frame size or the data top.
    std::vector<int32_t> block_marks_;

    std::vector<Control> controls_;
    std::vector<OpenCall> calls_;
    std::vector<InitLevel> init_levels_;
    int32_t count_operand_ = 0; // position of the byte count of the initializer instruction
    int appended_ = 0;          // elements the initializer appended
};
