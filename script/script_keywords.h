#pragma once
// The keyword table of the script lexer: one process-wide open-addressing
// table placed with keyword_hash, built at the start of every compilation and
// freed at its end (compilations run one at a time, on the GUI thread).

// Builds the table from the 36 keywords, plus the alias words "word",
// "dword", "long", "message" and "float" when compatibility is set. 0, or -1
// when the table could not be built. An existing table is rebuilt.
int script_keywords_build(bool compatibility);
void script_keywords_free();
bool script_keywords_present();

// The token code of a keyword, 0 for a word that is none (exact case), -1
// when no table exists.
int script_keyword_lookup(const char *word);
