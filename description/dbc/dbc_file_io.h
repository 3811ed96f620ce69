#pragma once
// Reader and writer of DBC files, registered as the format "DBC".
//
// read() fills a network with nodes, messages and signals (Motorola start
// bits converted to the least significant bit), multiplexing, comments,
// attribute definitions, defaults and values, value tables and descriptions,
// environment variables, signal value types and extended multiplexing, and
// runs the post-load passes. Errors go to the reporter with their line; some
// end the reading (the result is still 0), others are skipped over.
// write() stores a network as a DBC file that read() gives back.
#include "core/candb_file_io.h"

#include <cstdint>
#include <string>

class CANdbAttributeDef;
class CANdbMessage;
class CANdbNetwork;
class CANdbSignal;
class DbcLexer;

class DbcFileIo : public CANdbFileIo {
public:
    explicit DbcFileIo(const char *file_name = nullptr);

    // 0 once the file was read, also when errors were reported on the way;
    // -1 without a file name or when the file cannot be opened.
    int read(CANdbNetwork *network) override;
    // 0 on success; -1 when the file cannot be written (the old file stays);
    // 1 for an attribute definition of an unknown object kind (nothing is written).
    int write(CANdbNetwork *network) override;
    // read() with its diagnostics suppressed: attribute definitions are
    // parsed and dropped, defaults are not looked up.
    virtual int read_quiet(CANdbNetwork *network);

    // Messages are dropped while a quiet read runs.
    void info(const char *format, ...) override __attribute__((format(printf, 2, 3)));
    void error(const char *format, ...) override __attribute__((format(printf, 2, 3)));
    void warning(const char *format, ...) override __attribute__((format(printf, 2, 3)));

private:
    // Statement parsers: each starts after its keyword and returns the token
    // to dispatch next; kDbcError ends the reading.
    int parse_nodes();
    int parse_message();
    int parse_signal(CANdbMessage &message, bool &failed);
    int parse_env_var();
    int parse_env_var_data();
    int parse_comment();
    int parse_attribute_def();
    int parse_attribute_default();
    int parse_attribute_value();
    int parse_value_descriptions();
    int parse_value_table();
    int parse_signal_value_type();
    int parse_extended_multiplexing();
    // Skips tokens up to the next ";" (the current token included) and
    // returns the token after it.
    int skip_statement(int token);
    // skip_statement for the end of a comment: a statement keyword before the
    // ";" is warned about and returned.
    int skip_comment(int token, int comment_line);
    // Reads the value pairs of VAL_ and VAL_TABLE_ into add(value, text);
    // `where` ends their error texts.
    template <typename Add> int parse_value_pairs(Add add, const char *where);
    // Reports the error "<what> expected", followed by " <where>" when given,
    // and answers kDbcError, which ends the reading where it is returned.
    int expected(const char *what, const char *where = nullptr);

    DbcLexer *lexer_ = nullptr;
    CANdbNetwork *network_ = nullptr;
    bool quiet_ = false;
};
