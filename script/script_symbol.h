#pragma once
// The symbols a script declares: variables, constants, functions and struct
// types. The compiler creates them, the symbol table owns them once inserted,
// and the built-in library and the interface preludes find natives and types
// through them afterwards.
#include "script/script_types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class ScriptStructType;

enum ScriptSymbolKind : int {
    SYMBOL_NONE = 0,
    SYMBOL_VARIABLE = 1,
    SYMBOL_CONSTANT = 2,
    SYMBOL_FUNCTION = 3,
    SYMBOL_STRUCT_TYPE = 4,
};

// A name that is either an owned copy or a borrowed pointer, chosen per call.
// Borrowing serves preludes whose names live as long as the symbol table
// (database names, literals); a caller whose text changes afterwards copies.
class ScriptName {
public:
    void set(const char *text, bool copy);
    const char *get() const { return text_; }

private:
    const char *text_ = nullptr;
    std::unique_ptr<char[]> owned_;
};

class ScriptSymbol {
public:
    ScriptSymbol() = default;
    ScriptSymbol(const ScriptSymbol &) = delete;
    ScriptSymbol &operator=(const ScriptSymbol &) = delete;
    virtual ~ScriptSymbol() = default;

    virtual int kind() const { return SYMBOL_NONE; }
    // Appends a one-line description (debug dumps of the symbol table).
    virtual void print(std::string &out) const;

    void set_name(const char *name, bool copy) { name_.set(name, copy); }
    const char *name() const { return name_.get(); }

    uint32_t sequence = 0; // given by the table on insertion
    int32_t level = 0;     // scope level: 0 global, higher for nested blocks
    uint32_t hash = 0;     // script_name_hash of the name, stored on insertion
    uint32_t local = 0;    // 1 for a variable in a function frame
    // A number or a handle of a binding object that preludes attach (0 and 1
    // for the raw and physical views of a database signal); 0 = none.
    uint32_t tag = 0;
    ScriptSymbol *next = nullptr; // next symbol of the same hash bucket

private:
    ScriptName name_;
};

// Bytes of one element of a type: 8 double, 4 int and string, 1 char and byte,
// the struct's size for a struct, 0 otherwise.
int script_element_size(uint32_t type, const ScriptStructType *struct_type);

class ScriptVariable : public ScriptSymbol {
public:
    int kind() const override { return SYMBOL_VARIABLE; }
    void print(std::string &out) const override;

    // Bytes of one element: 8 double, 4 int and string, 1 char and byte, the
    // struct's current size for a struct, 0 otherwise.
    int element_size() const;
    // 4 for a reference, else storage_size().
    int size() const;
    // Element size times each dimension that is at least 1.
    int storage_size() const;

    uint32_t address = 0; // data address (global) or frame offset (local)
    int32_t dim1 = 0;     // below 1: no such dimension
    int32_t dim2 = 0;
    uint32_t type = TYPE_UNDEFINED;
    ScriptStructType *struct_type = nullptr; // for TYPE_STRUCT
    bool reference = false;                  // a reference parameter
};

class ScriptConstant : public ScriptSymbol {
public:
    int kind() const override { return SYMBOL_CONSTANT; }
    void print(std::string &out) const override;

    void set_int(int32_t value);
    void set_double(double value);

    uint32_t type = TYPE_INT; // TYPE_INT or TYPE_DOUBLE
    int32_t int_value = 0;
    double double_value = 0.0;
};

class ScriptFunction : public ScriptSymbol {
public:
    int kind() const override { return SYMBOL_FUNCTION; }
    void print(std::string &out) const override;

    // Makes room for n parameters, all cleared.
    void set_param_count(int n);
    int param_count() const { return static_cast<int>(params_.size()); }

    // Setters ignore an index outside 0..count-1; getters answer 0 / null there.
    void set_param_type(int i, uint32_t type);
    void set_param_reference(int i, bool reference);
    void set_param_array(int i, bool array);
    void set_param_struct_type(int i, ScriptStructType *struct_type);
    void set_param_name(int i, const char *name, bool copy);
    uint32_t param_type(int i) const;
    bool param_reference(int i) const;
    bool param_array(int i) const;
    ScriptStructType *param_struct_type(int i) const;
    const char *param_name(int i) const;

    // Index of the parameter with exactly this name, or -1.
    int find_param(const char *name) const;

    uint32_t index = 0; // slot of the machine's function table that calls use
    uint32_t result_type = TYPE_VOID;
    bool variadic = false; // the declaration ends with "..."

private:
    struct Param {
        uint32_t type = TYPE_UNDEFINED;
        bool reference = false;
        bool array = false;
        ScriptStructType *struct_type = nullptr;
        ScriptName name;
    };
    const Param *param(int i) const;
    Param *param(int i);

    std::vector<Param> params_;
};

// A struct type: its members packed with no gaps, in declaration order. A
// member is found by name in constant time, so that a struct of a database
// message with many thousand signals is built in linear time.
class ScriptStructType : public ScriptSymbol {
public:
    int kind() const override { return SYMBOL_STRUCT_TYPE; }
    void print(std::string &out) const override;

    ScriptVariable *find_member(const char *name) const;
    ScriptVariable *member_at(int i) const; // null past the end
    int member_count() const { return static_cast<int>(members_.size()); }

    // Each add answers 0, or -1 (adding nothing) when the name is taken.
    // A member at the running size, which grows by the member's size.
    int add_member(const char *name, uint32_t type, int dimension);
    int add_struct_member(const char *name, ScriptStructType *type, int dimension);
    // A view without storage at offset 0 ("Raw" tag 0, "Phys" tag 1 of signal structs).
    int add_tagged_member(const char *name, uint32_t type, uint32_t tag);
    // A struct-typed view at the running size that does not grow it (the
    // signal members of a message struct all view the message's data bytes).
    int add_tagged_struct_member(const char *name, ScriptStructType *type, uint32_t tag);
    // A second name for the member "timestamp"; -1 when there is none.
    int add_alias_member(const char *name);

    int32_t size = 0; // running size in bytes

private:
    ScriptVariable *new_member(const char *name);

    std::vector<std::unique_ptr<ScriptVariable>> members_;
    // The members by name; the keys view the members' own copies of their names.
    std::unordered_map<std::string_view, ScriptVariable *> by_name_;
};
