// Stand-in for the generated grammar until it is built: it only runs the
// lexer over the whole source (includes and all), so that compile reports
// lexical errors. The grammar replaces this file.
#include "script/script_parser.h"

#include "script/script_compiler.h"
#include "script/script_tokens.h"

int script_parse(ScriptCompiler *compiler)
{
    ScriptTokenValue value;
    for (;;) {
        const int token = compiler->next_token(&value);
        if (token == T_END_OF_INPUT)
            return 0;
        if (token == T_LEX_ERROR)
            return 1;
    }
}
