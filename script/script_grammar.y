/* The grammar of the script language.
 *
 * The parser is generated at build time. Its actions hand every construct to
 * ScriptCodeGen, which emits the byte code and declares the symbols; an action
 * whose construct is refused ends the parse with -1 (see FAIL below).
 *
 * Two places rely on the parser reducing without a lookahead token: the
 * announcement of a handler right after its keyword or name, so that the
 * compilation host can read the rest of the handler head itself, and the
 * "message" type, which may hand the name after it back to the lexer. Both
 * sit in states with a single reduction, which the parser takes by default.
 */

%require "3.6"
%define api.pure full
%define api.prefix {script_yy}
%define api.token.prefix {TOK_}
%define api.value.type {ScriptParseValue}
%define parse.error custom
/* Syntax errors name exactly the tokens that could have come next. */
%define parse.lac full
%param {ScriptCodeGen *gen}

/* The one conflict: an "else" belongs to the nearest open "if" (shift). */
%expect 1

%code requires {
#include "script/script_code_gen.h"
}

%code {
#include "script/script_parser.h"
#include "script/script_tokens.h"

#include <new>
#include <string>

/* Parser stacks start with 200 entries and double up to 10000. */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000

/* Ends the parse after a refused construct; its message went to error. */
#define FAIL                  \
    do {                      \
        gen->fail();          \
        YYABORT;              \
    } while (0)
#define CHECK(ok)             \
    do {                      \
        if (!(ok))            \
            FAIL;             \
    } while (0)

static int script_yylex(ScriptParseValue *value, ScriptCodeGen *gen);
static void script_yyerror(ScriptCodeGen *gen, const char *message);
}

%token T_EXTERN 258 T_CONST 259 T_RETURN 260 T_VARARG 261 T_DOUBLE_CONST 262
%token T_INT_CONST 263 T_STRING_CONST 264 T_CHAR_CONST 265 T_IDENT 266
%token T_DOUBLE 267 T_INT 268 T_CHAR 269 T_BYTE 270 T_STRING 271 T_VOID 272
%token T_EQ 273 T_NE 274 T_GE 275 T_GT 276 T_LE 277 T_LT 278
%token T_LOGICAL_OR 279 T_LOGICAL_AND 280 T_LSHIFT 281 T_RSHIFT 282
%token T_INC 283 T_DEC 284 T_TYPEDEF 285 T_STRUCT 286 T_ENUM 287
%token T_FOR 288 T_WHILE 289 T_DO 290 T_SWITCH 291 T_CASE 292 T_DEFAULT 293
%token T_MESSAGE 294 T_THREAD 295
%token T_ADD_ASSIGN 296 T_MUL_ASSIGN 297 T_SUB_ASSIGN 298 T_DIV_ASSIGN 299
%token T_MOD_ASSIGN 300 T_OR_ASSIGN 301 T_XOR_ASSIGN 302 T_AND_ASSIGN 303
%token T_LSHIFT_ASSIGN 304 T_RSHIFT_ASSIGN 305
%token T_IF 306 T_BREAK 307 T_CONTINUE 308 T_VARIABLES 309 T_ENVVAR 310
%token T_ON 311 T_ELSE 312 T_INIT 313 T_STARTUP 314 T_START 315 T_STOP 316
%token T_INPUT 317 T_OUTPUT 318 T_SIGNAL 319 T_PRAGMA_INTERNAL 320
%token T_SIZEOF 321 T_ELCOUNT 322

%start start

%%

start
    : script_body
    | T_PRAGMA_INTERNAL ';' { gen->begin_internal(); } internal_body
    ;

script_body
    : script_body function_definition_with_type
    | script_body hook
    | script_body output_hook
    | %empty
    ;

internal_body
    : internal_body definition
    | internal_body typedeclaration
    | internal_body code_or_block
    | internal_body const_definition
    | internal_body hook
    | %empty
    ;

/* ---- Constant expressions ---- */

const_expr
    : const_shift
    ;

const_shift
    : const_shift T_LSHIFT const_bw_or { CHECK(gen->const_binary(T_LSHIFT, $1, $3, &$$)); }
    | const_shift T_RSHIFT const_bw_or { CHECK(gen->const_binary(T_RSHIFT, $1, $3, &$$)); }
    | const_bw_or
    ;

const_bw_or
    : const_bw_or '|' const_bw_and { CHECK(gen->const_binary('|', $1, $3, &$$)); }
    | const_bw_or '^' const_bw_and { CHECK(gen->const_binary('^', $1, $3, &$$)); }
    | const_bw_and
    ;

const_bw_and
    : const_bw_and '&' const_sum { CHECK(gen->const_binary('&', $1, $3, &$$)); }
    | const_sum
    ;

const_sum
    : const_sum '+' const_prod { CHECK(gen->const_binary('+', $1, $3, &$$)); }
    | const_sum '-' const_prod { CHECK(gen->const_binary('-', $1, $3, &$$)); }
    | const_prod
    ;

const_prod
    : const_prod '*' number { CHECK(gen->const_binary('*', $1, $3, &$$)); }
    | const_prod '/' number { CHECK(gen->const_binary('/', $1, $3, &$$)); }
    | const_prod '%' number { CHECK(gen->const_binary('%', $1, $3, &$$)); }
    | number
    ;

number
    : T_INT_CONST { gen->const_int($1.int_value, &$$); }
    | T_DOUBLE_CONST { gen->const_double($1.double_value, &$$); }
    | T_CHAR_CONST { gen->const_char($1.text, &$$); }
    | '-' number { CHECK(gen->const_unary('-', $2, &$$)); }
    | '~' number { CHECK(gen->const_unary('~', $2, &$$)); }
    | '!' number { CHECK(gen->const_unary('!', $2, &$$)); }
    | ident { CHECK(gen->const_name($1.text, &$$)); }
    | '(' const_expr ')' { $$ = $2; }
    ;

/* ---- Handlers, signals and environment variables ---- */

unit
    : ident
    | %empty { $$.text = nullptr; }
    ;

opt_signal_attributes
    : '(' ident ')' { CHECK(gen->signal_attributes($2.text)); }
    | %empty { CHECK(gen->signal_attributes(nullptr)); }
    ;

opt_hook_attributes
    : '(' T_INT_CONST unit ',' ident ',' ident ')' { gen->hook_attributes($2.int_value, $3.text, $5.text, $7.text); }
    | %empty { CHECK(gen->default_hook_attributes()); }
    ;

opt_hook_range
    : '[' const_expr ',' const_expr ']' { gen->hook_range($2, $4); }
    | %empty { gen->default_hook_range(); }
    ;

output_hook
    : T_OUTPUT opt_hook_range opt_hook_attributes T_STRING_CONST
          { CHECK(gen->declare_io($4.text, 0, 1, 1, "Invalid 'output' hook detected")); }
      block { gen->end_handler(); }
    ;

hook
    : T_VARIABLES { gen->announce_variables(); } '{' definitions '}' { gen->end_handler(); }
    | T_ENVVAR '{' envvar_definitions '}'
    | T_ON T_START { CHECK(gen->announce("start", "Invalid 'on start' hook detected")); } block { gen->end_handler(); }
    | T_ON T_ENVVAR { CHECK(gen->announce("envvar", "Invalid 'on envvar' hook detected")); } block { gen->end_handler(); }
    | T_ON T_MESSAGE { CHECK(gen->announce("message", "Invalid 'on message' hook detected")); } block { gen->end_handler(); }
    | T_ON ident { CHECK(gen->announce($2.text, "Invalid 'on %s' hook detected")); } block { gen->end_handler(); }
    | T_INIT { CHECK(gen->announce("init", "Invalid 'init' hook detected")); } block { gen->end_handler(); }
    | T_STARTUP { CHECK(gen->announce("startup", "Invalid 'startup' hook detected")); } block { gen->end_handler(); }
    | T_STOP { CHECK(gen->announce("stop", "Invalid 'stop' hook detected")); } block { gen->end_handler(); }
    | T_THREAD { CHECK(gen->announce("thread", "Invalid 'thread' hook detected")); } block { gen->end_handler(); }
    | T_SIGNAL opt_hook_range opt_signal_attributes T_STRING_CONST ';'
          { CHECK(gen->declare_io($4.text, 1, 0, 0, "Invalid 'signal' definition detected")); }
    | T_INPUT opt_hook_range opt_hook_attributes T_STRING_CONST
          { CHECK(gen->declare_io($4.text, 1, 0, 1, "Invalid 'input' hook detected")); }
      block { gen->end_handler(); }
    | T_ON T_SIGNAL opt_hook_range opt_hook_attributes T_STRING_CONST
          { CHECK(gen->declare_io($5.text, 0, 1, 1, "Invalid 'on signal' hook detected")); }
      block { gen->end_handler(); }
    ;

function_definition_with_type
    : datatype function_definition
    | T_VOID { gen->set_void_datatype(); } function_definition
    ;

envvar_definitions
    : envvar_definitions envvar_definition
    | %empty
    ;

envvar_definition
    : envvar_type ident ';' { CHECK(gen->define_envvar($1.token, $2.text, false)); }
    | envvar_type ident '[' const_expr ']' ';' { CHECK(gen->define_envvar($1.token, $2.text, false)); }
    | T_EXTERN envvar_type ident ';' { CHECK(gen->define_envvar($2.token, $3.text, true)); }
    | T_EXTERN envvar_type ident '[' const_expr ']' ';' { CHECK(gen->define_envvar($2.token, $3.text, true)); }
    ;

envvar_type
    : T_DOUBLE { $$.token = T_DOUBLE; }
    | T_INT { $$.token = T_INT; }
    | T_STRING { $$.token = T_STRING; }
    ;

/* ---- Declarations ---- */

definitions
    : definitions definition
    | definitions const_definition
    | definitions typedeclaration
    | %empty
    ;

typedeclaration
    : T_TYPEDEF T_STRUCT '{' { gen->begin_struct(); } struct_body '}' ident ';' { gen->end_struct($7.text); }
    | T_STRUCT ident '{' { gen->begin_struct(); } struct_body '}' ';' { gen->end_struct($2.text); }
    | T_ENUM ident '{' { gen->begin_enum(); } enum_body '}' ';'
    ;

enum_body
    : enum_list
    ;

enum_list_value
    : ident { CHECK(gen->enum_value($1.text, nullptr)); }
    | ident '=' const_expr { CHECK(gen->enum_value($1.text, &$3)); }
    ;

enum_list
    : enum_list_value
    | enum_list ',' enum_list_value
    ;

const_definition
    : T_CONST opt_const_type const_definition_list ';'
    ;

/* The type word after "const" has no effect: a constant takes its value's type. */
opt_const_type
    : T_DOUBLE
    | T_BYTE
    | T_INT
    | T_CHAR
    | %empty
    ;

const_definition_list
    : const_definition_item
    | const_definition_item ',' const_definition_list
    ;

const_definition_item
    : ident '=' const_expr { CHECK(gen->define_constant($1.text, $3)); }
    ;

definition
    : datatype var_or_fun_definition
    | T_VOID { gen->set_void_datatype(); } function_definition
    | T_STRUCT '{' { gen->begin_struct(); } struct_body '}' ident
          { CHECK(gen->declare_anonymous_struct_variable($6.text)); }
      opt_array_initializer { CHECK(gen->end_variable()); }
    ;

var_or_fun_definition
    : function_definition
    | var_definition_list ';'
    ;

var_definition_list
    : var_definition
    | var_definition_list ',' var_definition
    ;

var_definition
    : ident { CHECK(gen->declare_variable($1.text)); } opt_array_initializer_with_expr
          { CHECK(gen->end_variable()); }
    | ident '[' const_expr ']' opt_next_dimension
          { CHECK(gen->declare_array($1.text, $3, $5)); }
      opt_array_initializer { CHECK(gen->end_variable()); }
    | ident '[' ']' opt_next_dimension
          { CHECK(gen->declare_open_array($1.text, $4)); }
      array_initializer { CHECK(gen->end_variable()); }
    ;

opt_next_dimension
    : '[' const_expr ']' { $$ = $2; $$.token = 1; }
    | %empty { $$.token = 0; }
    ;

array_initializer
    : '=' '{' { CHECK(gen->begin_initializer()); } array_initializer_list opt_comma '}'
          { CHECK(gen->end_initializer()); }
    | '=' T_STRING_CONST { CHECK(gen->initialize_with_text($2.text)); }
    ;

opt_array_initializer
    : array_initializer
    | %empty
    ;

opt_array_initializer_with_expr
    : array_initializer
    | '=' expr { CHECK(gen->initialize_with_value($2)); }
    | %empty
    ;

opt_comma
    : ','
    | %empty
    ;

array_initializer_value
    : const_expr { CHECK(gen->initializer_value($1)); }
    | ident '=' const_expr { CHECK(gen->initializer_member_value($1.text, $3)); }
    | T_STRING_CONST { CHECK(gen->initializer_text($1.text)); }
    | ident '=' '{' { CHECK(gen->open_member_initializer($1.text)); } array_initializer_list opt_comma '}'
          { CHECK(gen->close_initializer_level()); }
    | '{' { CHECK(gen->open_initializer_level()); } array_initializer_list opt_comma '}'
          { CHECK(gen->close_initializer_level()); }
    ;

array_initializer_list
    : array_initializer_value
    | array_initializer_list ',' array_initializer_value
    ;

/* ---- Functions ---- */

function_definition
    : ident '(' { CHECK(gen->begin_function_declaration($1.text)); } funparam_decl ')'
          { CHECK(gen->declare_function()); }
      fun_def
    ;

fun_def
    : { CHECK(gen->begin_function_body()); } block { gen->end_function_body(); }
    | ';' { gen->end_prototype(); }
    ;

opt_funparam_decl
    : ',' funparam_decl
    | %empty
    ;

funparam_decl
    : datatype_funparm ident { CHECK(gen->add_parameter($1, $2.text, false)); } opt_funparam_decl
    | datatype_funparm ident '[' ']' { CHECK(gen->add_parameter($1, $2.text, true)); } opt_funparam_decl
    | T_VARARG { gen->set_variadic(); }
    | %empty
    ;

/* ---- Blocks and statements ---- */

block
    : '{' { gen->open_block(); } code '}' { gen->close_block(); }
    ;

code
    : code definition
    | code assignment ';'
    | code statement
    | code block
    | code ';'
    | %empty
    ;

code_or_block
    : assignment ';'
    | statement
    | block
    | ';'
    ;

statement
    : T_IF '(' cond_expr ')' { CHECK(gen->begin_if($3)); } code_or_block opt_else { gen->end_if(); }
    | T_WHILE '(' { $$.token = gen->code_position(); } cond_expr ')'
          { CHECK(gen->begin_while($3.token, $4)); }
      code_or_block { gen->end_while(); }
    | T_DO { CHECK(gen->begin_do()); } code_or_block T_WHILE '(' { gen->do_condition(); } cond_expr ')' ';'
          { CHECK(gen->end_do($7)); }
    | T_FOR '(' assignment ';' { $$.token = gen->code_position(); } cond_expr ';'
          { CHECK(gen->for_condition($5.token, $6)); }
      assignment ')' { gen->begin_for_body(); }
      code_or_block { gen->end_for(); }
    | T_RETURN expr ';' { CHECK(gen->return_value($2)); }
    | T_RETURN ';' { gen->return_void(); }
    | T_BREAK ';' { CHECK(gen->break_statement()); }
    | T_CONTINUE ';' { CHECK(gen->continue_statement()); }
    | T_SWITCH '(' expr ')' { CHECK(gen->begin_switch($3)); } '{' case_body '}' { gen->end_switch(); }
    ;

case_body
    : case_body case_label
    | case_label
    ;

case_label
    : T_CASE const_expr ':' { CHECK(gen->case_label($2)); } code
    | T_DEFAULT ':' { CHECK(gen->default_label()); } code
    ;

opt_else
    : T_ELSE { gen->begin_else(); } code_or_block
    | %empty
    ;

/* ---- Assignments and expressions ---- */

op_and_assignment
    : T_ADD_ASSIGN { $$.token = T_ADD_ASSIGN; }
    | T_MUL_ASSIGN { $$.token = T_MUL_ASSIGN; }
    | T_SUB_ASSIGN { $$.token = T_SUB_ASSIGN; }
    | T_DIV_ASSIGN { $$.token = T_DIV_ASSIGN; }
    | T_MOD_ASSIGN { $$.token = T_MOD_ASSIGN; }
    | T_OR_ASSIGN { $$.token = T_OR_ASSIGN; }
    | T_XOR_ASSIGN { $$.token = T_XOR_ASSIGN; }
    | T_AND_ASSIGN { $$.token = T_AND_ASSIGN; }
    | T_LSHIFT_ASSIGN { $$.token = T_LSHIFT_ASSIGN; }
    | T_RSHIFT_ASSIGN { $$.token = T_RSHIFT_ASSIGN; }
    ;

assignment
    : lvalue '=' expr { CHECK(gen->assign($1, $3)); }
    | lvalue op_and_assignment expr { CHECK(gen->compound_assign($1, $2.token, $3)); }
    | side_effect_value { gen->discard_value(); }
    ;

expr
    : logical_or
    ;

cond_expr
    : logical_or
    ;

logical_or
    : logical_or T_LOGICAL_OR logical_and { CHECK(gen->binary(T_LOGICAL_OR, $1, $3, &$$)); }
    | logical_and
    ;

logical_and
    : logical_and T_LOGICAL_AND comparison { CHECK(gen->binary(T_LOGICAL_AND, $1, $3, &$$)); }
    | comparison
    ;

comparison
    : comparison comparison_operator shift_expr { CHECK(gen->binary($2.token, $1, $3, &$$)); }
    | shift_expr
    ;

shift_expr
    : shift_expr shift_operator bitwise_or { CHECK(gen->binary($2.token, $1, $3, &$$)); }
    | bitwise_or
    ;

bitwise_or
    : bitwise_or '|' bitwise_xor { CHECK(gen->binary('|', $1, $3, &$$)); }
    | bitwise_xor
    ;

bitwise_xor
    : bitwise_xor '^' bitwise_and { CHECK(gen->binary('^', $1, $3, &$$)); }
    | bitwise_and
    ;

bitwise_and
    : bitwise_and '&' sum { CHECK(gen->binary('&', $1, $3, &$$)); }
    | sum
    ;

sum
    : sum sum_operator prod { CHECK(gen->binary($2.token, $1, $3, &$$)); }
    | prod
    ;

prod
    : prod prod_operator castedvalue { CHECK(gen->binary($2.token, $1, $3, &$$)); }
    | castedvalue
    ;

castedvalue
    : unary
    | '(' T_DOUBLE ')' unary { CHECK(gen->cast(TYPE_DOUBLE, $4, &$$)); }
    | '(' T_INT ')' unary { CHECK(gen->cast(TYPE_INT, $4, &$$)); }
    ;

unary
    : '-' unary { CHECK(gen->unary('-', $2, &$$)); }
    | '+' unary { $$ = $2; }
    | '!' unary { CHECK(gen->unary('!', $2, &$$)); }
    | '~' unary { CHECK(gen->unary('~', $2, &$$)); }
    | value
    ;

value
    : T_DOUBLE_CONST { gen->push_double_constant($1.double_value, &$$); }
    | T_CHAR_CONST { gen->push_char_constant($1.text, &$$); }
    | T_INT_CONST { gen->push_int_constant($1.int_value, &$$); }
    | variable { CHECK(gen->load($1, &$$)); }
    | '(' expr ')' { $$ = $2; }
    | T_ELCOUNT '(' lvalue ')' { CHECK(gen->element_count($3, &$$)); }
    | T_SIZEOF '(' ident ')' { CHECK(gen->size_of_name($3.text, &$$)); }
    | T_SIZEOF '(' T_INT ')' { gen->push_int_constant(4, &$$); }
    | T_SIZEOF '(' T_CHAR ')' { gen->push_int_constant(1, &$$); }
    | T_SIZEOF '(' T_BYTE ')' { gen->push_int_constant(1, &$$); }
    | T_SIZEOF '(' T_DOUBLE ')' { gen->push_int_constant(8, &$$); }
    | side_effect_value
    ;

side_effect_value
    : T_INC variable { CHECK(gen->increment($2, ACCESS_PRE_INCREMENT, &$$)); }
    | T_DEC variable { CHECK(gen->increment($2, ACCESS_PRE_DECREMENT, &$$)); }
    | variable T_INC { CHECK(gen->increment($1, ACCESS_POST_INCREMENT, &$$)); }
    | variable T_DEC { CHECK(gen->increment($1, ACCESS_POST_DECREMENT, &$$)); }
    | ident '(' { CHECK(gen->begin_call($1.text)); } funparams ')' { CHECK(gen->end_call(&$$)); }
    | T_OUTPUT '(' { CHECK(gen->begin_call("canSendMessage")); } funparams ')' { CHECK(gen->end_call(&$$)); }
    ;

funparams
    : funparam_list
    | %empty
    ;

funparam_list
    : funparam_list ',' funparam
    | funparam
    ;

funparam
    : expr { CHECK(gen->argument_value($1)); }
    | '&' reference_parameter { CHECK(gen->argument_reference($2.text)); }
    | T_STRING_CONST { CHECK(gen->argument_text($1.text)); }
    ;

reference_parameter
    : ident
    ;

variable
    : simple_variable
    | simple_variable '[' { CHECK(gen->index_base($1)); } expr ']'
          { CHECK(gen->index($1, $4, &$$)); }
      opt_index
          {
              if ($7.token)
                  CHECK(gen->index($6, $7, &$$));
              else
                  $$ = $6;
          }
    ;

/* A second index into the row that the first one selected; token 1 marks it. */
opt_index
    : '[' expr ']' { $$ = $2; $$.token = 1; }
    | %empty { $$.token = 0; }
    ;

simple_variable
    : ident { CHECK(gen->name_operand($1.text, &$$)); }
    | variable '.' ident { CHECK(gen->member($1, $3.text, &$$)); }
    | variable '.' T_BYTE '(' { CHECK(gen->byte_base($1, &$$)); } expr ')'
          { CHECK(gen->index($5, $6, &$$)); }
    ;

lvalue
    : variable
    ;

datatype_funparm
    : simpletype { $$ = $1; $$.reference = false; }
    | simpletype '&' { $$ = $1; $$.reference = true; }
    ;

datatype
    : simpletype { gen->set_datatype($1); }
    ;

simpletype
    : basetype
    | userdefined_type
    | T_MESSAGE ident { CHECK(gen->message_type($2.text, &$$)); }
    ;

userdefined_type
    : ident { CHECK(gen->struct_type_named($1.text, &$$)); }
    | T_STRUCT ident { CHECK(gen->struct_type_named($2.text, &$$)); }
    ;

basetype
    : T_DOUBLE { gen->base_type(TYPE_DOUBLE, &$$); }
    | T_INT { gen->base_type(TYPE_INT, &$$); }
    | T_CHAR { gen->base_type(TYPE_CHAR, &$$); }
    | T_BYTE { gen->base_type(TYPE_BYTE, &$$); }
    | T_STRING { gen->base_type(TYPE_STRING, &$$); }
    | T_ENUM ident { gen->base_type(TYPE_INT, &$$); }
    ;

struct_body
    : struct_body struct_component
    | %empty
    ;

struct_component
    : simpletype ident ';' { CHECK(gen->add_struct_component($1, $2.text, nullptr)); }
    | simpletype ident '[' const_expr ']' ';' { CHECK(gen->add_struct_component($1, $2.text, &$4)); }
    ;

ident
    : T_IDENT
    ;

sum_operator
    : '+' { $$.token = '+'; }
    | '-' { $$.token = '-'; }
    ;

shift_operator
    : T_LSHIFT { $$.token = T_LSHIFT; }
    | T_RSHIFT { $$.token = T_RSHIFT; }
    ;

prod_operator
    : '*' { $$.token = '*'; }
    | '/' { $$.token = '/'; }
    | '%' { $$.token = '%'; }
    ;

comparison_operator
    : T_EQ { $$.token = T_EQ; }
    | T_NE { $$.token = T_NE; }
    | T_GE { $$.token = T_GE; }
    | T_GT { $$.token = T_GT; }
    | '>' { $$.token = T_GT; }
    | T_LE { $$.token = T_LE; }
    | T_LT { $$.token = T_LT; }
    | '<' { $$.token = T_LT; }
    ;

%%

static_assert(int(TOK_T_EXTERN) == int(T_EXTERN) && int(TOK_T_IDENT) == int(T_IDENT) &&
                  int(TOK_T_ELCOUNT) == int(T_ELCOUNT),
              "the grammar's token numbers are the lexer's");

static int script_yylex(ScriptParseValue *value, ScriptCodeGen *gen)
{
    const int token = gen->next_token(value);
    /* A lexical error is a syntax error wherever it happens, never the end of input. */
    return token < 0 ? TOK_SCRIPT_YYUNDEF : token;
}

/* Called only when the parser stacks are exhausted. */
static void script_yyerror(ScriptCodeGen *gen, const char *)
{
    gen->syntax_error("parser stack overflow");
}

/* "parse error near `T'" with the text of the token the parser refused,
   and when at most four tokens could have come next, the list of them:
   ", expecting `X' or `Y'". */
static int yyreport_syntax_error(const yypcontext_t *context, ScriptCodeGen *gen)
{
    try {
        std::string message = "parse error " + gen->error_position();
        yysymbol_kind_t expected[4];
        const int count = yypcontext_expected_tokens(context, expected, 4);
        for (int i = 0; i < count; ++i) {
            std::string name = yysymbol_name(expected[i]);
            if (name.size() > 1 && name.front() == '"' && name.back() == '"')
                name = name.substr(1, name.size() - 2);
            message += (i == 0 ? ", expecting `" : " or `") + name + "'";
        }
        gen->syntax_error(message.c_str());
    } catch (const std::bad_alloc &) {
        gen->syntax_error("parse error; also virtual memory exceeded");
    }
    return 0;
}

int script_parse(ScriptCompiler *compiler)
{
    ScriptCodeGen gen(compiler);
    const int result = script_yyparse(&gen);
    gen.end_parse();
    return gen.failed() ? -1 : result;
}
