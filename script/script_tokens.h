#pragma once
// Token codes of the script language: what ScriptCompiler::next_token returns
// and what the grammar's token declarations pin (a single character that is
// no token of its own comes back as its character code, '.' as 46).
//
// The grammar's generated parser declares the same names in its own token
// enumeration; a source that needs both keeps the generated ones apart with
// the parser generator's token prefix and can check them against these.

enum ScriptToken : int {
    T_LEX_ERROR = -1,
    T_END_OF_INPUT = 0,

    T_EXTERN = 258,
    T_CONST = 259,
    T_RETURN = 260,
    T_VARARG = 261, // "..."
    T_DOUBLE_CONST = 262,
    T_INT_CONST = 263,
    T_STRING_CONST = 264,
    T_CHAR_CONST = 265,
    T_IDENT = 266,
    T_DOUBLE = 267,
    T_INT = 268,
    T_CHAR = 269,
    T_BYTE = 270,
    T_STRING = 271,
    T_VOID = 272,
    T_EQ = 273,
    T_NE = 274,
    T_GE = 275,
    T_GT = 276, // the lexer returns '>' itself
    T_LE = 277,
    T_LT = 278, // the lexer returns '<' itself
    T_LOGICAL_OR = 279,
    T_LOGICAL_AND = 280,
    T_LSHIFT = 281,
    T_RSHIFT = 282,
    T_INC = 283,
    T_DEC = 284,
    T_TYPEDEF = 285,
    T_STRUCT = 286,
    T_ENUM = 287,
    T_FOR = 288,
    T_WHILE = 289,
    T_DO = 290,
    T_SWITCH = 291,
    T_CASE = 292,
    T_DEFAULT = 293,
    T_MESSAGE = 294,
    T_THREAD = 295,
    T_ADD_ASSIGN = 296,
    T_MUL_ASSIGN = 297,
    T_SUB_ASSIGN = 298,
    T_DIV_ASSIGN = 299,
    T_MOD_ASSIGN = 300,
    T_OR_ASSIGN = 301,
    T_XOR_ASSIGN = 302,
    T_AND_ASSIGN = 303,
    T_LSHIFT_ASSIGN = 304,
    T_RSHIFT_ASSIGN = 305,
    T_IF = 306,
    T_BREAK = 307,
    T_CONTINUE = 308,
    T_VARIABLES = 309,
    T_ENVVAR = 310,
    T_ON = 311,
    T_ELSE = 312,
    T_INIT = 313,
    T_STARTUP = 314,
    T_START = 315,
    T_STOP = 316,
    T_INPUT = 317,
    T_OUTPUT = 318,
    T_SIGNAL = 319,
    T_PRAGMA_INTERNAL = 320,
    T_SIZEOF = 321,
    T_ELCOUNT = 322,
};
