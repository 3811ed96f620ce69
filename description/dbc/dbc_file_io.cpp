// The reader half of DbcFileIo: statements of a DBC file into a CANdbNetwork.
#include "description/dbc/dbc_file_io.h"

#include "core/candb_mux_group.h"
#include "core/candb_network.h"
#include "description/dbc/dbc_lexer.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kNoNode[] = "Vector__XXX";

bool is_number(int token)
{
    return token == kDbcInt || token == kDbcFloat;
}

// Division and remainder rounding toward minus infinity, so that start bits
// beyond byte 7 (CAN FD) convert like the others.
int64_t floor_div(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int64_t floor_mod(int64_t a, int64_t b)
{
    return a - b * floor_div(a, b);
}

// DBC numbers a Motorola signal by its most significant bit; the model keeps
// its least significant bit. Computed in 64 bits, so that absurd positions
// and lengths of a damaged file give an absurd start bit (which the coder
// refuses) rather than an overflow.
int32_t motorola_lsb_start(int32_t msb_start, int32_t length)
{
    const int64_t x = 57 - int64_t(length) + floor_mod(msb_start, 8) - 8 * floor_div(msb_start, 8);
    return static_cast<int32_t>(floor_mod(x, 8) + 8 * (7 - floor_div(x, 8)));
}

// The bytes of a whole file, in a buffer left uninitialised until read into.
struct FileBytes
{
    std::unique_ptr<char[]> data;
    size_t size = 0;
};

// Reads the whole file with as few system calls as it can: on this kind of
// machine each costs about as much as parsing a small file. A regular file is
// read by one request of one byte more than its size; a read that comes short
// where the file ends needs no further read to see that end.
bool read_file(const char *name, FileBytes &bytes)
{
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const size_t size = regular ? static_cast<size_t>(info.st_size) : 0;
    size_t capacity = regular ? size + 1 : 65536;
    bytes.data.reset(new char[capacity]);
    bytes.size = 0;
    bool ok = true;
    for (;;) {
        if (bytes.size == capacity) {
            std::unique_ptr<char[]> larger(new char[2 * capacity]);
            std::memcpy(larger.get(), bytes.data.get(), bytes.size);
            bytes.data = std::move(larger);
            capacity *= 2;
        }
        const size_t wanted = capacity - bytes.size;
        const ssize_t n = ::read(fd, bytes.data.get() + bytes.size, wanted);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        bytes.size += static_cast<size_t>(n);
        if (regular && static_cast<size_t>(n) < wanted && bytes.size >= size)
            break;
    }
    ::close(fd);
    return ok;
}

} // namespace

DbcFileIo::DbcFileIo(const char *name) : CANdbFileIo(name) {}

void DbcFileIo::info(const char *format, ...)
{
    if (quiet_)
        return;
    va_list args;
    va_start(args, format);
    report_formatted(Info, format, args);
    va_end(args);
}

void DbcFileIo::error(const char *format, ...)
{
    if (quiet_)
        return;
    va_list args;
    va_start(args, format);
    report_formatted(Error, format, args);
    va_end(args);
}

void DbcFileIo::warning(const char *format, ...)
{
    if (quiet_)
        return;
    va_list args;
    va_start(args, format);
    report_formatted(Warning, format, args);
    va_end(args);
}

int DbcFileIo::read_quiet(CANdbNetwork *network)
{
    quiet_ = true;
    const int result = read(network);
    quiet_ = false;
    return result;
}

int DbcFileIo::read(CANdbNetwork *network)
{
    network_ = network;
    FileBytes bytes;
    if (!file_name() || !network || !read_file(file_name(), bytes))
        return -1;
    line_number_ = 1;
    DbcLexer lexer(bytes.data.get(), bytes.data.get() + bytes.size, line_number_, *this);
    lexer_ = &lexer;

    int token = lexer.next_token();
    while (token != kDbcEof && token != kDbcError) {
        switch (token) {
        case kDbcNs:
            // The new-symbols block lists keywords; it ends where the node list starts.
            do
                token = lexer.next_token();
            while (token != kDbcBu && token != kDbcEof && token != kDbcError);
            break;
        case kDbcBu:
            token = parse_nodes();
            break;
        case kDbcBo:
            token = parse_message();
            break;
        case kDbcEv:
            token = parse_env_var();
            break;
        case kDbcEnvVarData:
            token = parse_env_var_data();
            break;
        case kDbcCm:
            token = parse_comment();
            break;
        case kDbcBaDef:
            token = parse_attribute_def();
            break;
        case kDbcBaDefDef:
            token = parse_attribute_default();
            break;
        case kDbcBa:
            token = parse_attribute_value();
            break;
        case kDbcVal:
            token = parse_value_descriptions();
            break;
        case kDbcValTable:
            token = parse_value_table();
            break;
        case kDbcCat:
            token = skip_statement(lexer.next_token());
            break;
        case kDbcSigValType:
            token = parse_signal_value_type();
            break;
        case kDbcSgMulVal:
            token = parse_extended_multiplexing();
            break;
        default:
            // Statements this reader does not keep are passed over token by token.
            token = lexer.next_token();
            break;
        }
    }
    lexer_ = nullptr;
    loaded_ = true;

    network->apply_can_fd_attributes();
    network->apply_j1939_attributes();
    for (CANdbMessage *m : network->messages)
        network->resolve_sign_signals(m);
    return 0;
}

int DbcFileIo::expected(const char *what, const char *where)
{
    if (where)
        error("%s expected %s", what, where);
    else
        error("%s expected", what);
    return kDbcError;
}

int DbcFileIo::skip_statement(int token)
{
    while (token != ';' && token != kDbcEof && token != kDbcError)
        token = lexer_->next_token();
    return token == ';' ? lexer_->next_token() : token;
}

// A comment has no statement keyword in it: one before the ";" starts the
// next statement, and the comment lacked its ";".
int DbcFileIo::skip_comment(int token, int comment_line)
{
    while (token != ';' && token != kDbcEof && token != kDbcError) {
        if (token >= kDbcNs) { // the keyword tokens
            warning("';' expected after the comment of line %d", comment_line);
            return token;
        }
        token = lexer_->next_token();
    }
    return token == ';' ? lexer_->next_token() : token;
}

// BU_: NODE NODE ... up to the end of the line.
int DbcFileIo::parse_nodes()
{
    if (lexer_->next_token() != ':')
        return expected("':'");
    int token = lexer_->next_token();
    for (; token == kDbcIdent; token = lexer_->next_token())
        if (lexer_->text() != kNoNode)
            network_->insert_node(std::make_unique<CANdbNode>(lexer_->text().c_str()));
    return token;
}

// BO_ id name: dlc transmitter, then its SG_ lines.
int DbcFileIo::parse_message()
{
    if (lexer_->next_token() != kDbcInt)
        return expected("CAN id");
    const uint32_t raw_id = static_cast<uint32_t>(lexer_->int_value());
    auto message = std::make_unique<CANdbMessage>();
    if (raw_id == kCANdbPseudoMessageId) {
        message->id = raw_id;
    } else {
        message->id = raw_id & ~kCANdbExtendedBit;
        message->extended = (raw_id & kCANdbExtendedBit) != 0;
    }
    if (lexer_->next_token() != kDbcIdent)
        return expected("Message name");
    message->name = lexer_->text();
    if (raw_id == kCANdbPseudoMessageId && network_->pseudo_message)
        warning("Second message of id %u ('%s') dropped", raw_id, message->name.c_str());
    if (lexer_->next_token() != ':')
        return expected("':'", "after message name");
    if (lexer_->next_token() != kDbcInt)
        return expected("DLC");
    message->dlc = static_cast<int32_t>(lexer_->int_value());
    int token = lexer_->next_token();
    if (token == kDbcIdent) {
        if (lexer_->text() != kNoNode)
            message->set_transmitter(network_->find_node(lexer_->text().c_str()));
        token = lexer_->next_token();
    } else if (token != kDbcEol) {
        return expected("Sender name");
    }
    while (token == kDbcEol || token == kDbcSg) {
        if (token == kDbcEol) {
            token = lexer_->next_token();
            continue;
        }
        bool failed = false;
        token = parse_signal(*message, failed);
        if (failed)
            return kDbcError;
    }
    if (raw_id != kCANdbPseudoMessageId)
        network_->insert_message(std::move(message));
    else if (!network_->pseudo_message) // the holder of signals without a frame
        network_->set_pseudo_message(std::move(message));
    return token;
}

// SG_ name [mux] : start|length@order sign (factor,offset) [min|max] "unit" receivers
int DbcFileIo::parse_signal(CANdbMessage &message, bool &failed)
{
    failed = true;
    if (lexer_->next_token() != kDbcIdent)
        return expected("Signal name");
    auto signal = std::make_unique<CANdbSignal>();
    signal->name = lexer_->text();
    int token = lexer_->next_token();
    if (token == kDbcIdent) {
        std::string indicator = lexer_->text();
        if (indicator[0] == 'm') {
            if (indicator.size() > 1 && indicator.back() == 'M')
                indicator.pop_back();
            signal->mux_value = static_cast<int32_t>(atoi64_or_zero(indicator.c_str() + 1));
        } else if (indicator[0] == 'M') {
            signal->is_multiplexor = true;
        }
        token = lexer_->next_token();
    }
    if (token != ':')
        return expected("':'", "after signal name");
    if (lexer_->next_token() != kDbcInt)
        return expected("Signal bit position");
    const int start = static_cast<int32_t>(lexer_->int_value());
    if (lexer_->next_token() != '|')
        return expected("'|'", "after bit position");
    if (lexer_->next_token() != kDbcInt)
        return expected("Signal length");
    signal->length = static_cast<int32_t>(lexer_->int_value());
    if (lexer_->next_token() != '@')
        return expected("'@'", "after signal length");
    if (lexer_->next_token() != kDbcInt)
        return expected("Signal number");
    // Integer tokens carry 32 bits where the field is an integer.
    if (static_cast<int32_t>(lexer_->int_value()) == 0) {
        signal->byte_order = CANdbMotorola;
        signal->start_bit = motorola_lsb_start(start, signal->length);
    } else {
        signal->byte_order = CANdbIntel;
        signal->start_bit = start;
    }
    token = lexer_->next_token();
    if (token == '+') {
        signal->value_type = CANdbRawUnsigned;
    } else if (token == '-') {
        signal->value_type = CANdbRawSigned;
    } else {
        return expected("'+' or '-'");
    }

    struct Step {
        int token;         // expected character, or 0 for a number
        const char *what;  // what is expected
        const char *where; // after what
        double *number;    // where a number goes
    };
    const Step steps[] = {
        {'(', "'('", "after '+' or '-'", nullptr},
        {0, "Factor", nullptr, &signal->factor},
        {',', "','", "after factor", nullptr},
        {0, "Offset", nullptr, &signal->offset},
        {')', "')'", "after offset", nullptr},
        {'[', "'['", "after factor and offset", nullptr},
        {0, "Min value", nullptr, &signal->minimum},
        {'|', "'|'", "after min value", nullptr},
        {0, "Max value", nullptr, &signal->maximum},
        {']', "']'", "after max value", nullptr},
    };
    for (const Step &step : steps) {
        token = lexer_->next_token();
        if (step.number ? !is_number(token) : token != step.token)
            return expected(step.what, step.where);
        if (step.number)
            *step.number = lexer_->number();
    }
    // From the sign, factor, offset and minimum: an unsigned signal with a
    // negative minimum hands out signed values.
    signal->update_value_kind();
    if (lexer_->next_token() != kDbcString)
        return expected("Signal unit");
    signal->unit = lexer_->text();

    token = lexer_->next_token();
    while (token == kDbcIdent) {
        if (CANdbNode *node = network_->find_node(lexer_->text().c_str()))
            signal->add_receiver(node);
        token = lexer_->next_token();
        if (token == ',')
            token = lexer_->next_token();
    }
    message.insert_signal(std::move(signal));
    failed = false;
    return token;
}

// EV_ name: type [min|max] "unit" initial id access nodes
int DbcFileIo::parse_env_var()
{
    if (lexer_->next_token() != kDbcIdent)
        return expected("Variable name");
    auto var = std::make_unique<CANdbEnvVar>(lexer_->text().c_str());
    if (lexer_->next_token() != ':')
        return expected("':'", "after variable name");
    if (lexer_->next_token() != kDbcInt)
        return expected("Variable type");
    switch (static_cast<int32_t>(lexer_->int_value())) {
    case 0:
        var->type = CANdbEnvVarInt;
        break;
    case 1:
        var->type = CANdbEnvVarFloat;
        break;
    default:
        error("Unknown environment variable type");
        return kDbcError;
    }
    if (lexer_->next_token() != '[')
        return expected("'['", "after variable type");
    if (!is_number(lexer_->next_token()))
        return expected("Min value");
    var->minimum = lexer_->number();
    if (lexer_->next_token() != '|')
        return expected("'|'", "in variable min/max");
    if (!is_number(lexer_->next_token()))
        return expected("Max value");
    var->maximum = lexer_->number();
    if (lexer_->next_token() != ']')
        return expected("']'", "after variable min/max");
    if (lexer_->next_token() != kDbcString)
        return expected("Variable unit");
    var->unit = lexer_->text();
    if (!is_number(lexer_->next_token()))
        return expected("Start value");
    var->initial_value = lexer_->number();
    if (lexer_->next_token() != kDbcInt)
        return expected("Num id");
    var->identifier = static_cast<uint32_t>(lexer_->int_value());
    if (lexer_->next_token() != kDbcIdent)
        return expected("Dummy place holder");
    var->access_text = lexer_->text();
    static const char kAccessPrefix[] = "DUMMY_NODE_VECTOR";
    const std::string &access = var->access_text;
    if (access.compare(0, sizeof kAccessPrefix - 1, kAccessPrefix) == 0) {
        const std::string suffix = access.substr(sizeof kAccessPrefix - 1);
        if (suffix.size() == 1 && suffix[0] >= '0' && suffix[0] <= '3') {
            var->access_code = suffix[0] - '0' + 1;
        } else if (suffix.size() == 4 && suffix.compare(0, 3, "800") == 0 && suffix[3] >= '0' && suffix[3] <= '3') {
            // String variables are declared as integers with these access words.
            if (var->type != CANdbEnvVarInt) {
                error("Inconsistent environment variable type");
                return kDbcError;
            }
            var->access_code = suffix[3] - '0' + 1;
            var->type = CANdbEnvVarString;
        }
    }
    int token = lexer_->next_token();
    while (token == kDbcIdent) {
        if (lexer_->text() != kNoNode)
            var->add_access_node(network_->find_node(lexer_->text().c_str()));
        token = lexer_->next_token();
        if (token == ',')
            token = lexer_->next_token();
    }
    network_->add_env_var(std::move(var));
    return token;
}

// ENVVAR_DATA_ name: size;
int DbcFileIo::parse_env_var_data()
{
    int token = lexer_->next_token();
    if (token != kDbcIdent) {
        expected("Variable name", "for variable data");
        return token;
    }
    CANdbEnvVar *var = network_->find_env_var(lexer_->text().c_str());
    token = lexer_->next_token();
    if (token != ':')
        expected("':'", "after variable name");
    else
        token = lexer_->next_token();
    if (!var)
        error("No variable found for data line");
    if (!is_number(token)) {
        expected("Value");
        return token;
    }
    if (var) {
        var->data_size = lexer_->number();
        var->has_data = true;
    }
    token = lexer_->next_token();
    if (token != ';') {
        expected("';'", "after variable data");
        return token;
    }
    return lexer_->next_token();
}

// CM_ [object] "text"; every form and every error goes on after the next ";"
// or at the next statement keyword.
int DbcFileIo::parse_comment()
{
    const int comment_line = line_number_;
    int token = lexer_->next_token();
    switch (token) {
    case kDbcString:
        network_->set_comment(lexer_->text().c_str());
        token = lexer_->next_token();
        break;
    case kDbcBu: {
        if ((token = lexer_->next_token()) != kDbcIdent) {
            expected("Name", "for module comment");
            break;
        }
        CANdbNode *node = network_->find_node(lexer_->text().c_str());
        if (!node) {
            error("No node found for comment line");
            break;
        }
        if ((token = lexer_->next_token()) != kDbcString) {
            expected("String", "for node comment");
            break;
        }
        node->set_comment(lexer_->text().c_str());
        token = lexer_->next_token();
        break;
    }
    case kDbcBo: {
        if ((token = lexer_->next_token()) != kDbcInt) {
            expected("Id", "for message comment");
            break;
        }
        CANdbMessage *message = network_->find_message_by_id(static_cast<uint32_t>(lexer_->int_value()));
        if (!message) {
            error("No message found for comment line");
            break;
        }
        if ((token = lexer_->next_token()) != kDbcString) {
            expected("String", "for message comment");
            break;
        }
        message->set_comment(lexer_->text().c_str());
        token = lexer_->next_token();
        break;
    }
    case kDbcSg: {
        if ((token = lexer_->next_token()) != kDbcInt) {
            expected("Id", "for signal comment");
            break;
        }
        const uint32_t id = static_cast<uint32_t>(lexer_->int_value());
        CANdbMessage *message = network_->find_message_by_id(id);
        if (!message) {
            // A comment changes nothing the reading needs: passed over.
            warning("Comment on a signal of message %u, which the file does not define", id);
            break;
        }
        if ((token = lexer_->next_token()) != kDbcIdent) {
            expected("Signal name", "for signal comment");
            break;
        }
        CANdbSignal *signal = message->find_signal(lexer_->text().c_str());
        if (!signal) {
            warning("Comment on signal '%s' of message '%s', which the file does not define", lexer_->text().c_str(),
                    message->name.c_str());
            break;
        }
        if ((token = lexer_->next_token()) != kDbcString) {
            expected("String", "for signal comment");
            break;
        }
        signal->set_comment(lexer_->text().c_str());
        token = lexer_->next_token();
        break;
    }
    case kDbcEv: {
        if ((token = lexer_->next_token()) != kDbcIdent) {
            expected("Name", "for variable comment");
            break;
        }
        CANdbEnvVar *var = network_->find_env_var(lexer_->text().c_str());
        if (!var) {
            error("No variable found for comment line");
            break;
        }
        if ((token = lexer_->next_token()) != kDbcString) {
            expected("String", "for variable comment");
            break;
        }
        var->comment = lexer_->text();
        token = lexer_->next_token();
        break;
    }
    default:
        break;
    }
    return skip_comment(token, comment_line);
}

// BA_DEF_ [object] "name" type range;
int DbcFileIo::parse_attribute_def()
{
    int token = lexer_->next_token();
    int kind = CANdbObjectNetwork;
    switch (token) {
    case kDbcBo:
        kind = CANdbObjectMessage;
        break;
    case kDbcBu:
        kind = CANdbObjectNode;
        break;
    case kDbcSg:
        kind = CANdbObjectSignal;
        break;
    case kDbcEv:
        kind = CANdbObjectEnvVar;
        break;
    default:
        break;
    }
    if (kind != CANdbObjectNetwork)
        token = lexer_->next_token();
    if (token != kDbcString)
        return expected("Attribute name");
    auto def = std::make_unique<CANdbAttributeDef>(lexer_->text().c_str(), CANdbAttrNone, kind);
    // Defaults and values find the first definition of a name; a second one
    // would be written back with a default that never reached it.
    const bool repeated = !quiet_ && network_->find_attribute_def(def->name.c_str());
    if (repeated)
        warning("Attribute '%s' defined again; the first definition is kept", def->name.c_str());
    if (lexer_->next_token() != kDbcIdent)
        return expected("Attribute type");
    const std::string &type = lexer_->text();
    def->set_type(type == "INT" ? CANdbAttrInt
                  : type == "HEX" ? CANdbAttrHex
                  : type == "FLOAT" ? CANdbAttrFloat
                  : type == "ENUM" ? CANdbAttrEnum
                  : type == "STRING" ? CANdbAttrString
                                     : CANdbAttrNone);
    token = lexer_->next_token();
    switch (def->value_type) {
    case CANdbAttrInt:
    case CANdbAttrHex:
        if (token != kDbcInt)
            return expected("Attribute min value");
        def->int_min = static_cast<int32_t>(lexer_->int_value());
        if (lexer_->next_token() != kDbcInt)
            return expected("Attribute max value");
        def->int_max = static_cast<int32_t>(lexer_->int_value());
        token = lexer_->next_token();
        break;
    case CANdbAttrFloat:
        if (!is_number(token))
            return expected("Attribute min value");
        def->float_min = lexer_->number();
        if (!is_number(lexer_->next_token()))
            return expected("Attribute max value");
        def->float_max = lexer_->number();
        token = lexer_->next_token();
        break;
    case CANdbAttrEnum: {
        int index = 0;
        for (; token != ';' && token != kDbcEof && token != kDbcError; token = lexer_->next_token())
            if (token == kDbcString)
                def->add_enum_value(lexer_->text().c_str(), index++);
        break;
    }
    case CANdbAttrString:
        if (token != ';')
            return expected("';'", "after STRING");
        break;
    default:
        break;
    }
    if (token == ';')
        token = lexer_->next_token();
    if (!quiet_ && !repeated)
        network_->add_attribute_def(std::move(def));
    return token;
}

// BA_DEF_DEF_ "name" value;
int DbcFileIo::parse_attribute_default()
{
    if (lexer_->next_token() != kDbcString)
        return expected("Attribute name");
    CANdbAttributeDef *def = nullptr;
    if (!quiet_) {
        def = network_->find_attribute_def(lexer_->text().c_str());
        if (!def)
            error("Attribute '%s' not found", lexer_->text().c_str());
    }
    const int token = lexer_->next_token();
    switch (def ? def->value_type : CANdbAttrNone) {
    case CANdbAttrString:
        if (token != kDbcString)
            return expected("String");
        def->set_default_string(lexer_->text().c_str());
        break;
    case CANdbAttrEnum:
        if (token != kDbcString)
            return expected("String");
        def->int_default = def->enum_index(lexer_->text().c_str());
        break;
    case CANdbAttrInt:
    case CANdbAttrHex:
        if (token != kDbcInt)
            return expected("Integer value");
        def->int_default = static_cast<int32_t>(lexer_->int_value());
        break;
    case CANdbAttrFloat:
        if (!is_number(token))
            return expected("Float value");
        def->float_default = lexer_->number();
        break;
    default:
        break; // read without storing
    }
    if (lexer_->next_token() != ';')
        return expected("';'", "after attribute default value");
    return lexer_->next_token();
}

// BA_ "name" [object] value;
int DbcFileIo::parse_attribute_value()
{
    if (lexer_->next_token() != kDbcString)
        return expected("Attribute name");
    CANdbAttributeDef *def = network_->find_attribute_def(lexer_->text().c_str());
    if (!def) {
        // Reported with its line; the statement is passed over and reading goes on.
        error("Attribute '%s' not found", lexer_->text().c_str());
        return skip_statement(lexer_->next_token());
    }
    auto value = std::make_unique<CANdbAttributeValue>(def);
    CANdbAttributeValueList *list = nullptr;
    int token = lexer_->next_token();
    switch (token) {
    case kDbcBo:
    case kDbcSg: {
        const bool for_signal = token == kDbcSg;
        if (lexer_->next_token() != kDbcInt)
            return expected("Message id");
        const uint32_t id = static_cast<uint32_t>(lexer_->int_value());
        CANdbMessage *message = network_->find_message_by_id(id);
        if (!message)
            warning("Message %u not found", id);
        if (for_signal) {
            if (lexer_->next_token() != kDbcIdent)
                return expected("Signal name");
            CANdbSignal *signal = message ? message->find_signal(lexer_->text().c_str()) : nullptr;
            list = signal ? &signal->attributes : nullptr;
        } else {
            list = message ? &message->attributes : nullptr;
        }
        token = lexer_->next_token();
        break;
    }
    case kDbcEv: {
        if (lexer_->next_token() != kDbcIdent)
            return expected("Variable name");
        CANdbEnvVar *var = network_->find_env_var(lexer_->text().c_str());
        list = var ? &var->attributes : nullptr;
        token = lexer_->next_token();
        break;
    }
    case kDbcBu: {
        if (lexer_->next_token() != kDbcIdent)
            return expected("Node name");
        CANdbNode *node = network_->find_node(lexer_->text().c_str());
        list = node ? &node->attributes : nullptr;
        token = lexer_->next_token();
        break;
    }
    default:
        list = &network_->attributes;
        break;
    }
    switch (def->value_type) {
    case CANdbAttrString:
        if (token != kDbcString)
            return expected("String");
        value->set_string(lexer_->text().c_str());
        break;
    case CANdbAttrInt:
    case CANdbAttrHex:
    case CANdbAttrEnum:
        if (token != kDbcInt)
            return expected("Integer value");
        value->int_value = static_cast<int32_t>(lexer_->int_value());
        break;
    case CANdbAttrFloat:
        if (!is_number(token))
            return expected("Float value");
        value->double_value = lexer_->number();
        break;
    default:
        break;
    }
    if (lexer_->next_token() != ';')
        return expected("';'", "after attribute value");
    if (list)
        list->append(std::move(value));
    return lexer_->next_token();
}

template <typename Add> int DbcFileIo::parse_value_pairs(Add add, const char *where)
{
    for (int token = lexer_->next_token();; token = lexer_->next_token()) {
        if (token == ';')
            return lexer_->next_token();
        if (token != kDbcInt) {
            expected("Number", where);
            return token;
        }
        const int32_t value = static_cast<int32_t>(lexer_->int_value());
        token = lexer_->next_token();
        if (token != kDbcString) {
            expected("String", where);
            return token;
        }
        add(value, lexer_->text().c_str());
    }
}

// VAL_ id signal {value "text"}; or VAL_ variable {value "text"};
int DbcFileIo::parse_value_descriptions()
{
    int token = lexer_->next_token();
    if (token == kDbcIdent) {
        CANdbEnvVar *var = network_->find_env_var(lexer_->text().c_str());
        if (!var) {
            error("Variable not found");
            return token;
        }
        return parse_value_pairs([var](int32_t v, const char *text) { var->add_value_description(v, text); },
                                 "for variable value");
    }
    if (token == kDbcInt) {
        const uint32_t id = static_cast<uint32_t>(lexer_->int_value());
        CANdbMessage *message = network_->find_message_by_id(id);
        if (!message) {
            error("No message (id=%u) found for signal value", id);
            return lexer_->next_token();
        }
        token = lexer_->next_token();
        if (token != kDbcIdent) {
            expected("Signal name", "for signal value");
            return token;
        }
        CANdbSignal *signal = message->find_signal(lexer_->text().c_str());
        if (!signal) {
            error("Signal not found");
            return lexer_->next_token();
        }
        return parse_value_pairs([signal](int32_t v, const char *text) { signal->add_value_description(v, text); },
                                 "for signal value");
    }
    error("Unsupported VAL record");
    return skip_statement(token);
}

// VAL_TABLE_ name {value "text"};
int DbcFileIo::parse_value_table()
{
    const int token = lexer_->next_token();
    if (token != kDbcIdent) {
        error("Unsupported VAL_TABLE_ record");
        return skip_statement(token);
    }
    CANdbValueTable *table = network_->find_value_table(lexer_->text().c_str());
    if (!table)
        table = network_->add_value_table(std::make_unique<CANdbValueTable>(lexer_->text().c_str()));
    return parse_value_pairs([table](int32_t v, const char *text) { table->add_description(v, text); },
                             "for table value");
}

// SIG_VALTYPE_ id signal : type;
int DbcFileIo::parse_signal_value_type()
{
    int token = lexer_->next_token();
    if (token != kDbcInt) {
        expected("Id", "for signal type");
        return token;
    }
    const uint32_t id = static_cast<uint32_t>(lexer_->int_value());
    CANdbMessage *message = network_->find_message_by_id(id);
    if (!message) {
        error("No message (id=%u) found for signal type", id);
        return lexer_->next_token();
    }
    if ((token = lexer_->next_token()) != kDbcIdent) {
        expected("Signal name", "for signal type");
        return token;
    }
    CANdbSignal *signal = message->find_signal(lexer_->text().c_str());
    if (!signal) {
        error("Signal not found");
        return lexer_->next_token();
    }
    if ((token = lexer_->next_token()) != ':') {
        expected("':'", "after signal name");
        return token;
    }
    if ((token = lexer_->next_token()) != kDbcInt) {
        expected("Number", "for signal type");
        return token;
    }
    const int32_t type = static_cast<int32_t>(lexer_->int_value());
    switch (type) {
    case 1:
        signal->value_type = CANdbRawFloat;
        signal->update_value_kind();
        break;
    case 2:
        signal->value_type = CANdbRawDouble;
        signal->update_value_kind();
        break;
    default:
        error("Unknown signal type %d", static_cast<int>(type));
        break;
    }
    token = lexer_->next_token();
    return token == ';' ? lexer_->next_token() : token;
}

// SG_MUL_VAL_ id signal multiplexor low-high, low-high;
int DbcFileIo::parse_extended_multiplexing()
{
    if (lexer_->next_token() != kDbcInt)
        return expected("CAN message id");
    const uint32_t id = static_cast<uint32_t>(lexer_->int_value());
    CANdbMessage *message = network_->find_message_by_id(id);
    if (!message)
        warning("Message %u not found (SG_MUL_VAL_)", id);
    if (lexer_->next_token() != kDbcIdent)
        return expected("Signal name", "in SG_MUL_VAL_");
    CANdbSignal *signal = message ? message->find_signal(lexer_->text().c_str()) : nullptr;
    if (message && !signal)
        warning("Signal not found");
    if (lexer_->next_token() != kDbcIdent)
        return expected("Multiplexor name", "in SG_MUL_VAL_");
    const std::string multiplexor_name = lexer_->text();
    CANdbSignal *multiplexor = message ? message->find_signal(multiplexor_name.c_str()) : nullptr;
    if (message && !multiplexor)
        warning("Multiplexor signal not found");

    std::unique_ptr<CANdbMuxGroup> group = signal ? std::make_unique<CANdbMuxGroup>(network_) : nullptr;
    int token;
    do {
        if (lexer_->next_token(true) != kDbcInt)
            return expected("Lower value", "for range");
        const uint32_t low = static_cast<uint32_t>(lexer_->int_value());
        if (lexer_->next_token(true) != '-')
            return expected("'-'", "within multiplexor range");
        if (lexer_->next_token(true) != kDbcInt)
            return expected("Upper value", "for range");
        const uint32_t high = static_cast<uint32_t>(lexer_->int_value());
        if (group)
            group->add_range(low, high);
        token = lexer_->next_token(true);
    } while (token == ',');
    if (group) {
        group->set_multiplexor_name(multiplexor_name.c_str());
        group->set_multiplexor(multiplexor);
        if (multiplexor)
            multiplexor->is_multiplexor = false;
    }
    if (token != ';')
        return token;
    if (group)
        signal->set_mux_group(std::move(group));
    return lexer_->next_token();
}
