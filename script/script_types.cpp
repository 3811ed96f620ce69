#include "script/script_types.h"

const char *script_type_name(uint32_t type)
{
    switch (type) {
    case TYPE_UNDEFINED: return "(undefined)";
    case TYPE_VOID: return "void";
    case TYPE_DOUBLE: return "double";
    case TYPE_INT: return "int";
    case TYPE_CHAR: return "char";
    case TYPE_BYTE: return "byte";
    case TYPE_STRING: return "string";
    case TYPE_STRUCT: return "struct";
    case TYPE_ARRAY: return "array";
    default: return "(unknown)";
    }
}
