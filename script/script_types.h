#pragma once
// Type codes of the script language. A variable's type code is its element
// type; arrays are variables with dimensions, so TYPE_ARRAY is only given to
// an alias of an array member (ScriptStructType::add_alias_member) and to
// array-valued expressions in the grammar.
#include <cstdint>

enum ScriptTypeCode : uint32_t {
    TYPE_UNDEFINED = 0,
    TYPE_VOID = 1,
    TYPE_DOUBLE = 2,
    TYPE_INT = 3,
    TYPE_CHAR = 4,
    TYPE_BYTE = 5,
    TYPE_STRING = 6, // a data-memory address
    TYPE_STRUCT = 7,
    TYPE_ARRAY = 8,
};

// Access kinds that the grammar hands to ScriptCompiler::emit_load. (The
// machine's read hooks number their kinds differently, see PCodeAccessKind.)
enum ScriptAccessKind : int {
    ACCESS_READ = 0,
    ACCESS_POST_INCREMENT = 1,
    ACCESS_POST_DECREMENT = 2,
    ACCESS_PRE_INCREMENT = 3,
    ACCESS_PRE_DECREMENT = 4,
};

// "int", "double", ...; "(undefined)" for 0 and "(unknown)" for codes outside the table.
const char *script_type_name(uint32_t type);
