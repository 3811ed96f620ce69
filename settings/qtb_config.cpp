#include "settings/qtb_config.h"

#include "settings/save_file.h"
#include "settings/text_util.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <strings.h>

namespace {

// Longest section names, keys and element names the reader keeps.
constexpr size_t kMaxNameLength = 100;
// Longest number runs the reader keeps.
constexpr size_t kMaxNumberLength = 100;
// Longest strings and words the reader keeps.
constexpr size_t kMaxTextLength = 1000;
// Deepest list nesting the reader follows; a deeper "(" is skipped so that a
// crafted file cannot exhaust the stack.
constexpr int kMaxListDepth = 200;
// A group line is broken after the element that passes this column.
constexpr int kWrapColumn = 100;
// The numbers of a stored rectangle are held within this distance of 0.
constexpr int32_t max_screen_coordinate = 32767;

} // namespace

QRect clamped_screen_rect(int x, int y, int width, int height)
{
    const auto held = [](int number) { return std::clamp(number, -max_screen_coordinate, max_screen_coordinate); };
    return QRect(held(x), held(y), held(width), held(height));
}

namespace {

// atoi without its undefined behaviour on overflow: the value is clamped.
int32_t text_to_int(const char *text)
{
    const long long value = strtoll_l(text, nullptr, 10, c_locale());
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

bool equals_ignoring_case(const std::string &text, const char *word)
{
    return strcasecmp(text.c_str(), word) == 0;
}

bool is_ascii_letter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(int c)
{
    return c >= '0' && c <= '9';
}

bool is_blank(int c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool is_key_char(int c)
{
    return is_ascii_letter(c) || is_digit(c) || c == '_' || c == '.';
}

bool is_number_char(int c)
{
    return is_digit(c) || c == '+' || c == '-' || c == 'e' || c == 'E' || c == '.';
}

bool is_word_char(int c)
{
    return is_ascii_letter(c) || is_digit(c) || (c > 0 && std::strchr("!$%&*;:.\\/", c) != nullptr);
}

// ---------------------------------------------------------------------------
// Reading

// Parses the text of a settings file into a configuration, one character of
// look-ahead at a time.
class Reader
{
public:
    Reader(const QByteArray &text, QtbConfig &config, int &line, std::vector<std::string> &warnings)
        : m_text(text), m_config(config), m_line(line), m_file_name(QFile::encodeName(config.file_name())),
          m_warnings(warnings)
    {
    }

    void parse()
    {
        QtbConfigGroup *section = nullptr;
        while (peek() != EOF) {
            const int c = peek();
            if (is_blank(c)) {
                get();
            } else if (c == '\n') {
                next_line();
            } else if (c == '#' || c == ';') {
                skip_line();
            } else if (c == '[') {
                const int section_line = m_line;
                get();
                std::string name;
                while (peek() != EOF && peek() != ']')
                    keep(name, read_char(), kMaxNameLength, "name");
                if (peek() == EOF) {
                    warn("section name without closing \"]\" up to the end of the file: section dropped",
                         section_line);
                    return;
                }
                get();
                section = m_config.add_group(name.c_str());
                skip_line();
            } else {
                std::string key;
                while (is_key_char(peek()))
                    keep(key, get(), kMaxNameLength, "name");
                skip_blanks();
                if (peek() != '=') {
                    // Not an entry: read on from here as new items, but never
                    // stall on a character nothing else takes.
                    warn("text that is no section, entry or comment skipped");
                    if (key.empty())
                        get();
                    continue;
                }
                get();
                if (section)
                    read_entry(*section, key);
                else
                    warn("entry before the first section dropped");
                skip_line();
            }
        }
    }

private:
    int peek(size_t ahead = 0) const
    {
        const size_t at = m_pos + ahead;
        return at < static_cast<size_t>(m_text.size()) ? static_cast<unsigned char>(m_text[int(at)]) : EOF;
    }
    int get()
    {
        const int c = peek();
        if (c != EOF)
            ++m_pos;
        return c;
    }
    // Takes one character, counting a newline.
    int read_char()
    {
        const int c = get();
        if (c == '\n')
            ++m_line;
        return c;
    }
    void next_line()
    {
        get();
        ++m_line;
    }
    void skip_blanks()
    {
        while (is_blank(peek()))
            get();
    }
    // Skips to the end of the line; the newline itself stays for the caller.
    void skip_line()
    {
        while (peek() != EOF && peek() != '\n')
            get();
    }
    // Appends the character to a name, number or text of at most `limit`
    // characters; `kind` names it in the warning when it is cut.
    void keep(std::string &text, int c, size_t limit, const char *kind)
    {
        if (text.size() < limit)
            text.push_back(static_cast<char>(c));
        else
            warn(string_printf("%s longer than %zu characters cut", kind, limit));
    }

    // One warning of each kind per line, "file:line: text".
    void warn(const std::string &what, int line = 0)
    {
        if (line == 0)
            line = m_line;
        if (line == m_last_warning_line && what == m_last_warning)
            return;
        m_last_warning_line = line;
        m_last_warning = what;
        m_warnings.push_back(string_printf("%s:%d: %s", m_file_name.constData(), line, what.c_str()));
    }

    void read_entry(QtbConfigGroup &section, const std::string &key)
    {
        // A repeated key overwrites the earlier value; an empty key makes an
        // unnamed entry, as written for unnamed entries of a section.
        QtbConfigValue *value = key.empty() ? nullptr : section.find_entry(key.c_str());
        if (!value)
            value = section.append_entry(QtbConfigValue(), key.c_str());
        skip_blanks();
        const int c = peek();
        if (is_digit(c) || c == '-')
            *value = read_number_or_list();
        else if (c == '(')
            *value = read_list(1);
        else if (c == '"')
            *value = read_quoted();
        else
            *value = read_word_or_list();
    }

    QtbConfigValue read_number()
    {
        std::string run;
        while (is_number_char(peek()))
            keep(run, get(), kMaxNumberLength, "number");
        if (run.find_first_of(".eE") != std::string::npos)
            return QtbConfigValue(c_locale_atof(run.c_str()));
        return QtbConfigValue(text_to_int(run.c_str()));
    }

    // A number, or a comma-separated list of numbers as a group.
    QtbConfigValue read_number_or_list()
    {
        QtbConfigValue first = read_number();
        skip_blanks();
        if (peek() != ',')
            return first;
        auto group = std::make_unique<QtbConfigGroup>();
        group->append_entry(std::move(first), nullptr);
        while (peek() == ',') {
            get();
            skip_blanks();
            group->append_entry(read_number(), nullptr);
            skip_blanks();
        }
        return QtbConfigValue(std::move(group));
    }

    std::string read_word_text()
    {
        std::string word;
        while (is_word_char(peek()))
            keep(word, get(), kMaxTextLength, "text");
        return word;
    }

    static QtbConfigValue word_value(std::string word)
    {
        if (word == "true" || word == "ok" || word == "on" || word == "yes")
            return QtbConfigValue(true);
        if (word == "false" || word == "no" || word == "nack" || word == "off")
            return QtbConfigValue(false);
        return QtbConfigValue(std::move(word));
    }

    // A word, or a comma-separated list of words as a group of strings.
    QtbConfigValue read_word_or_list()
    {
        std::string word = read_word_text();
        if (peek() != ',')
            return word_value(std::move(word));
        auto group = std::make_unique<QtbConfigGroup>();
        group->append_entry(QtbConfigValue(std::move(word)), nullptr);
        while (peek() == ',') {
            get();
            group->append_entry(QtbConfigValue(read_word_text()), nullptr);
        }
        return QtbConfigValue(std::move(group));
    }

    // A double-quoted string; "=" and two hex digits stand for one byte. The
    // string ends at the closing quote, the end of the line or of the file.
    QtbConfigValue read_quoted()
    {
        get();
        std::string text;
        while (peek() != EOF && peek() != '"' && peek() != '\n') {
            int c = get();
            if (c == '=') {
                const int high = hex_digit_value(peek());
                const int low = hex_digit_value(peek(1));
                // An "=" without two hex digits is kept as it stands.
                if (high >= 0 && low >= 0) {
                    get();
                    get();
                    c = high * 16 + low;
                }
            }
            keep(text, c, kMaxTextLength, "text");
        }
        if (peek() == '"')
            get();
        return QtbConfigValue(std::move(text));
    }

    // "( elements )": each element optionally named "{name}", then a number,
    // string, nested list or word. Newlines inside the list are passed.
    QtbConfigValue read_list(int depth)
    {
        get();
        auto group = std::make_unique<QtbConfigGroup>();
        while (peek() != EOF && peek() != ')') {
            const int c = peek();
            if (is_blank(c)) {
                get();
                continue;
            }
            if (c == '\n') {
                next_line();
                continue;
            }
            std::string name;
            if (c == '{') {
                get();
                while (peek() != EOF && peek() != '}')
                    keep(name, read_char(), kMaxNameLength, "name");
                if (peek() == EOF)
                    break;
                get();
            }
            const int first = peek();
            if (is_digit(first) || first == '-' || first == '.')
                group->append_entry(read_number(), name.c_str());
            else if (first == '"')
                group->append_entry(read_quoted(), name.c_str());
            else if (first == '(' && depth < kMaxListDepth)
                group->append_entry(read_list(depth + 1), name.c_str());
            else if (is_word_char(first))
                group->append_entry(word_value(read_word_text()), name.c_str());
            else if (first != EOF && first != ')' && first != '\n') {
                warn(first == '(' ? string_printf("list nested deeper than %d levels skipped", kMaxListDepth)
                                  : std::string("text that is no list element skipped"));
                get(); // nothing takes this character
            }
        }
        if (peek() == ')')
            get();
        else
            warn("list without closing \")\" up to the end of the file");
        return QtbConfigValue(std::move(group));
    }

    const QByteArray &m_text;
    QtbConfig &m_config;
    int &m_line;
    const QByteArray m_file_name;
    std::vector<std::string> &m_warnings;
    int m_last_warning_line = 0;
    std::string m_last_warning;
    size_t m_pos = 0;
};

// ---------------------------------------------------------------------------
// Writing

// The shortest text that reads back as the same double, always marked as a
// double by a ".", "e" or "E". Infinities are written as an overflowing
// exponent; NaN has no number form and is written as the word "nan", which
// reads back as a string that converts to NaN.
std::string double_text(double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "1e999" : "-1e999";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eE") == std::string::npos)
        text += ".0";
    return text;
}

class Writer
{
public:
    explicit Writer(std::string &out) : m_out(out) {}

    // Writes the value starting at the given column; answers the column after it.
    int write_value(const QtbConfigValue &value, int column)
    {
        switch (value.type()) {
        case QtbConfigValue::String:
            return column + write_text(quoted(value.string_value()));
        case QtbConfigValue::Int:
            return column + write_text(std::to_string(value.int_value()));
        case QtbConfigValue::Bool:
            return column + write_text(value.bool_value() ? "true" : "false");
        case QtbConfigValue::Double:
            return column + write_text(double_text(value.double_value()));
        case QtbConfigValue::Group:
            return write_group(*value.group(), column);
        default:
            return column;
        }
    }

private:
    int write_text(const std::string &text)
    {
        m_out += text;
        return static_cast<int>(text.size());
    }

    static std::string quoted(const std::string &text)
    {
        std::string out = "\"";
        for (const char ch : text) {
            const auto byte = static_cast<unsigned char>(ch);
            if (byte < 32 || byte >= 127 || byte == '"' || byte == '=') {
                char escape[4];
                std::snprintf(escape, sizeof escape, "=%02x", byte);
                out += escape;
            } else {
                out += ch;
            }
        }
        out += '"';
        return out;
    }

    // "( " then every element and a blank, then ")"; after an element that ends
    // past the wrap column the line is continued below the first element. The
    // count then goes on from the group's starting column, not from the indent,
    // so continuation lines may run two columns further than the first.
    int write_group(const QtbConfigGroup &group, int column)
    {
        const int start = column;
        column += write_text("( ");
        const int indent = column;
        for (const QtbConfigEntry &entry : group.entries()) {
            if (!entry.name.empty())
                column += write_text("{" + entry.name + "}");
            column = write_value(entry.value, column);
            if (column > kWrapColumn) {
                m_out += '\n';
                write_text(std::string(size_t(indent), ' '));
                column = start;
            } else {
                column += write_text(" ");
            }
        }
        return column + write_text(")");
    }

    std::string &m_out;
};

} // namespace

// ---------------------------------------------------------------------------
// QtbConfigValue

QtbConfigValue::QtbConfigValue() = default;
QtbConfigValue::QtbConfigValue(const char *text) { set_string(text ? text : ""); }
QtbConfigValue::QtbConfigValue(std::string text) { set_string(std::move(text)); }
QtbConfigValue::QtbConfigValue(int32_t value) { set_int(value); }
QtbConfigValue::QtbConfigValue(bool value) { set_bool(value); }
QtbConfigValue::QtbConfigValue(double value) { set_double(value); }
QtbConfigValue::QtbConfigValue(std::unique_ptr<QtbConfigGroup> group) { set_group(std::move(group)); }
QtbConfigValue::~QtbConfigValue() = default;
QtbConfigValue::QtbConfigValue(QtbConfigValue &&other) noexcept = default;
QtbConfigValue &QtbConfigValue::operator=(QtbConfigValue &&other) noexcept = default;

void QtbConfigValue::set_empty()
{
    m_type = Empty;
    m_string.clear();
    m_string.shrink_to_fit();
    m_group.reset();
}

void QtbConfigValue::set_string(std::string text)
{
    set_empty();
    m_type = String;
    m_string = std::move(text);
}

void QtbConfigValue::set_int(int32_t value)
{
    set_empty();
    m_type = Int;
    m_int = value;
}

void QtbConfigValue::set_bool(bool value)
{
    set_empty();
    m_type = Bool;
    m_bool = value;
}

void QtbConfigValue::set_double(double value)
{
    set_empty();
    m_type = Double;
    m_double = value;
}

void QtbConfigValue::set_group(std::unique_ptr<QtbConfigGroup> group)
{
    set_empty();
    if (!group)
        return;
    m_type = Group;
    m_group = std::move(group);
}

QString QtbConfigValue::to_string() const
{
    switch (m_type) {
    case String:
        return QString::fromLatin1(m_string.data(), int(m_string.size()));
    case Int:
        return QString::number(m_int);
    case Bool:
        return QString::fromLatin1(m_bool ? "true" : "false");
    case Double:
        return QString::number(m_double, 'g', 6);
    default:
        return QString();
    }
}

QString QtbConfigValue::to_string_utf8() const
{
    if (m_type != String)
        return to_string();
    return utf8_to_utf16(m_string.data(), m_string.size());
}

int32_t QtbConfigValue::to_int() const
{
    switch (m_type) {
    case String:
        return text_to_int(m_string.c_str());
    case Int:
        return m_int;
    case Bool:
        return m_bool ? 1 : 0;
    case Double:
        return clamp_to_int32(m_double);
    default:
        return 0;
    }
}

double QtbConfigValue::to_double() const
{
    switch (m_type) {
    case String:
        return c_locale_atof(m_string.c_str());
    case Int:
        return m_int;
    case Bool:
        return m_bool ? 1.0 : 0.0;
    case Double:
        return m_double;
    default:
        return 0.0;
    }
}

bool QtbConfigValue::to_bool() const
{
    switch (m_type) {
    case String:
        return equals_ignoring_case(m_string, "true") || equals_ignoring_case(m_string, "yes")
            || equals_ignoring_case(m_string, "on") || equals_ignoring_case(m_string, "ok");
    case Int:
        return m_int != 0;
    case Bool:
        return m_bool;
    case Double:
        return m_double != 0.0; // NaN counts as true
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// QtbConfigGroup

QtbConfigGroup::~QtbConfigGroup()
{
    clear();
}

QtbConfigValue *QtbConfigGroup::append_entry(QtbConfigValue value, const char *name)
{
    m_entries.push_back(QtbConfigEntry{name ? name : "", std::move(value)});
    const Position added = std::prev(m_entries.end());
    if (!added->name.empty())
        m_first_of_name.emplace(added->name, added); // an earlier entry of the name stays first
    return &added->value;
}

QtbConfigValue *QtbConfigGroup::find_entry(const char *name)
{
    m_cursor = m_entries.end();
    if (!name || !*name)
        return nullptr;
    const auto found = m_first_of_name.find(name);
    if (found == m_first_of_name.end())
        return nullptr;
    m_cursor = found->second;
    return &m_cursor->value;
}

const char *QtbConfigGroup::current_name() const
{
    return m_cursor != m_entries.end() && !m_cursor->name.empty() ? m_cursor->name.c_str() : nullptr;
}

QtbConfigValue *QtbConfigGroup::current_value() const
{
    return m_cursor != m_entries.end() ? &m_cursor->value : nullptr;
}

QtbConfigValue *QtbConfigGroup::first_value()
{
    m_cursor = m_entries.begin();
    return current_value();
}

QtbConfigValue *QtbConfigGroup::next_value()
{
    if (m_cursor != m_entries.end())
        ++m_cursor;
    return current_value();
}

QtbConfigGroup *QtbConfigGroup::get_group(const char *name)
{
    QtbConfigValue *value = find_entry(name);
    return value && value->type() == QtbConfigValue::Group ? value->group() : nullptr;
}

QtbConfigGroup *QtbConfigGroup::group_from(Position position)
{
    while (position != m_entries.end() && position->value.type() != QtbConfigValue::Group)
        ++position;
    m_cursor = position;
    return position != m_entries.end() ? position->value.group() : nullptr;
}

QtbConfigGroup *QtbConfigGroup::first_group()
{
    return group_from(m_entries.begin());
}

QtbConfigGroup *QtbConfigGroup::next_group()
{
    return group_from(m_cursor != m_entries.end() ? std::next(m_cursor) : m_cursor);
}

QtbConfigGroup *QtbConfigGroup::current_or_next_group()
{
    return group_from(m_cursor);
}

QtbConfigValue *QtbConfigGroup::value_for_read(const char *name)
{
    return name ? find_entry(name) : current_value();
}

QString QtbConfigGroup::read_string(const char *name, const QString &def)
{
    const QtbConfigValue *value = value_for_read(name);
    return value ? value->to_string() : def;
}

QString QtbConfigGroup::read_string_utf8(const char *name, const QString &def)
{
    const QtbConfigValue *value = value_for_read(name);
    return value ? value->to_string_utf8() : def;
}

int32_t QtbConfigGroup::read_int(const char *name, int32_t def)
{
    const QtbConfigValue *value = value_for_read(name);
    return value ? value->to_int() : def;
}

double QtbConfigGroup::read_double(const char *name, double def)
{
    const QtbConfigValue *value = value_for_read(name);
    return value ? value->to_double() : def;
}

bool QtbConfigGroup::read_bool(const char *name, bool def)
{
    const QtbConfigValue *value = value_for_read(name);
    return value ? value->to_bool() : def;
}

QRect QtbConfigGroup::read_rect(const char *name, const QRect &def)
{
    const QtbConfigValue *value = value_for_read(name);
    if (!value || value->type() != QtbConfigValue::Group || value->group()->count() != 4)
        return def;
    int32_t numbers[4];
    int n = 0;
    for (const QtbConfigEntry &entry : value->group()->entries()) {
        const int type = entry.value.type();
        if (type != QtbConfigValue::Int && type != QtbConfigValue::Double)
            return def;
        numbers[n++] = entry.value.to_int();
    }
    return clamped_screen_rect(numbers[0], numbers[1], numbers[2], numbers[3]);
}

QtbConfigValue *QtbConfigGroup::value_for_write(const char *name)
{
    QtbConfigValue *value = find_entry(name);
    return value ? value : append_entry(QtbConfigValue(), name);
}

void QtbConfigGroup::write_cstring(const char *name, const char *text)
{
    if (name)
        value_for_write(name)->set_string(text ? text : "");
}

void QtbConfigGroup::write_string(const char *name, const QString &text)
{
    if (name)
        value_for_write(name)->set_string(text.toLatin1().toStdString());
}

void QtbConfigGroup::write_string_utf8(const char *name, const QString &text)
{
    if (name)
        value_for_write(name)->set_string(text.toUtf8().toStdString());
}

void QtbConfigGroup::write_int(const char *name, int32_t value)
{
    if (name)
        value_for_write(name)->set_int(value);
}

void QtbConfigGroup::write_double(const char *name, double value)
{
    if (name)
        value_for_write(name)->set_double(value);
}

void QtbConfigGroup::write_bool(const char *name, bool value)
{
    if (name)
        value_for_write(name)->set_bool(value);
}

void QtbConfigGroup::write_rect(const char *name, const QRect &rect)
{
    if (!name)
        return;
    auto group = std::make_unique<QtbConfigGroup>();
    group->append_entry(QtbConfigValue(int32_t(rect.x())), nullptr);
    group->append_entry(QtbConfigValue(int32_t(rect.y())), nullptr);
    group->append_entry(QtbConfigValue(int32_t(rect.right() - rect.x() + 1)), nullptr);
    group->append_entry(QtbConfigValue(int32_t(rect.bottom() - rect.y() + 1)), nullptr);
    value_for_write(name)->set_group(std::move(group));
}

QtbConfigGroup *QtbConfigGroup::add_group(const char *name)
{
    if (!name)
        return nullptr;
    return append_entry(QtbConfigValue(std::make_unique<QtbConfigGroup>()), name)->group();
}

QtbConfigGroup *QtbConfigGroup::get_or_add_group(const char *name)
{
    QtbConfigGroup *group = get_group(name);
    return group ? group : add_group(name);
}

int QtbConfigGroup::remove_value(const QtbConfigValue *value)
{
    for (auto entry = m_entries.begin(); entry != m_entries.end(); ++entry) {
        if (&entry->value != value)
            continue;
        const bool cursor_on_it = m_cursor == entry;
        if (!entry->name.empty()) {
            // The next entry of the name, if any, becomes its first.
            const auto indexed = m_first_of_name.find(entry->name);
            if (indexed->second == entry) {
                m_first_of_name.erase(indexed); // its key views the name that goes
                auto same = std::next(entry);
                while (same != m_entries.end() && same->name != entry->name)
                    ++same;
                if (same != m_entries.end())
                    m_first_of_name.emplace(same->name, same);
            }
        }
        const Position following = m_entries.erase(entry);
        if (cursor_on_it)
            m_cursor = following;
        return 0;
    }
    return -1;
}

void QtbConfigGroup::clear()
{
    m_first_of_name.clear();
    m_entries.clear();
    m_cursor = m_entries.end();
}

// ---------------------------------------------------------------------------
// QtbConfig

QtbConfig::QtbConfig(const QString &file_name) : m_file_name(file_name) {}

QtbConfig::~QtbConfig() = default;

void QtbConfig::set_file_name(const QString &file_name)
{
    if (file_name != m_file_name)
        m_warnings.clear(); // they were about the other file
    m_file_name = file_name;
}

int QtbConfig::read()
{
    QFile file(m_file_name);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = file.readAll();
    file.close();
    m_line = 1;
    m_warnings.clear();
    Reader(text, *this, m_line, m_warnings).parse();
    return int(m_warnings.size());
}

int QtbConfig::write_file(const QString &path)
{
    std::string text;
    Writer writer(text);
    for (const QtbConfigEntry &section : entries()) {
        // Only groups are sections; a loose value has no place in the file.
        if (section.value.type() != QtbConfigValue::Group)
            continue;
        text += "[" + section.name + "]\n";
        for (const QtbConfigEntry &entry : section.value.group()->entries()) {
            text += entry.name + "=";
            writer.write_value(entry.value, int(entry.name.size()) + 1);
            text += '\n';
        }
        text += '\n';
    }

    return save_file(path, text);
}

int QtbConfig::write()
{
    const int result = write_file(m_file_name);
    if (result >= 0)
        m_warnings.clear(); // the file now holds what is in memory
    return result;
}
