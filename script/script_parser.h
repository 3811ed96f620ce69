#pragma once
// The grammar of the script language, run by ScriptCompiler::compile over the
// compiler's source: 0 when the source was accepted, 1 after a syntax error,
// 2 when the parser stack overflowed, -1 when a semantic action failed.
class ScriptCompiler;

int script_parse(ScriptCompiler *compiler);
