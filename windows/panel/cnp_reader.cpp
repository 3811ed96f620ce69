#include "windows/panel/cnp_reader.h"

#include "settings/debug_trace.h"
#include "settings/text_util.h"

#include <QFile>
#include <QTextCodec>

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

const char *const panel_element = "VPanel";
const char *const continued_element = "ElemPanelCtrlBN";

QString decode(const QByteArray &text)
{
    static QTextCodec *const shift_jis = QTextCodec::codecForName("Shift_JIS");
    return shift_jis ? shift_jis->toUnicode(text) : QString::fromLatin1(text);
}

// The element name at the start of a physical line (blanks skipped).
bool starts_element(const QByteArray &line, const char *name)
{
    const QByteArray word = line.trimmed();
    const int length = int(std::strlen(name));
    return word.startsWith(name) && (word.size() == length || word[length] == ';' || word[length] == ' ');
}

// The caption in the rest of an element line: the last pair of double quotes
// that ends the line, or for the continued element the second quoted string.
void take_text(const char *rest, bool second_quoted, CnpElement &element)
{
    const QByteArray text(rest);
    if (text.size() <= 2)
        return;
    element.has_text = true;
    if (second_quoted) {
        int open = -1;
        int from = 0;
        for (int string = 0; string < 2; ++string) {
            open = text.indexOf('"', from);
            const int close = open < 0 ? -1 : text.indexOf('"', open + 1);
            if (close < 0)
                return;
            if (string == 1)
                element.text = decode(text.mid(open + 1, close - open - 1));
            from = close + 1;
        }
        return;
    }
    if (!text.endsWith('"'))
        return;
    const int open = text.lastIndexOf('"', text.size() - 2);
    if (open >= 0)
        element.text = decode(text.mid(open + 1, text.size() - open - 2));
}

// Parses a trimmed element line (cut in place); false for a line that does
// not fit the element grammar.
bool parse_element(char *line, CnpElement &element)
{
    char *next = cut_token(line);
    element.name = line;
    auto take = [&next]() {
        char *field = next;
        next = cut_token(field);
        return field;
    };
    for (int &number : element.numbers)
        if (parse_decimal(take(), &number) != 0)
            return false;
    const char *first = take();
    if (!std::isalpha(static_cast<unsigned char>(first[0])) && first[0] != '<')
        return false;
    element.params[0] = first;
    for (size_t i = 1; i < element.params.size(); ++i)
        element.params[i] = take();
    take(); // two fields that are not used
    take();
    take_text(next, element.name == continued_element, element);
    for (size_t i = 1; i <= 3; ++i) {
        const int at = element.params[i].indexOf("EnvVar:");
        if (at >= 0) {
            element.names_widget = true;
            element.variable = element.params[i].mid(at + 7);
            break;
        }
    }
    return true;
}

// The physical lines of the file, without their line ends; "ElemPanelCtrlBN"
// lines take the lines that follow, each after one blank, up to a line that
// begins with '~' (dropped).
std::vector<QByteArray> logical_lines(const QByteArray &data)
{
    QList<QByteArray> physical = data.split('\n');
    if (!physical.isEmpty() && physical.last().isEmpty())
        physical.removeLast();
    for (QByteArray &line : physical)
        if (line.endsWith('\r'))
            line.chop(1);
    std::vector<QByteArray> lines;
    for (int i = 0; i < physical.size(); ++i) {
        QByteArray line = physical[i];
        if (starts_element(line, continued_element)) {
            while (i + 1 < physical.size()) {
                const QByteArray &next = physical[++i];
                if (next.startsWith('~'))
                    break;
                line += ' ';
                line += next;
            }
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace

QString CnpElement::item_kind() const
{
    static const struct {
        const char *element;
        const char *kind;
    } kinds[] = {
        {"ElemFrame", "GroupBox"},
        {"ElemST", "TextLabel"},
        {"ElemBN", "PushButton"},
        {"ElemPanelCtrlBN", "PanelButton"},
        {"ElemEdit", "LineEdit"},
        {"ElemSwitchAndDisplay", "CheckBox"},
        {"ElemRBT", "RadioButton"},
    };
    if (name == "ElemSlI")
        return params[4] == "0" ? QStringLiteral("Vertical Slider") : QStringLiteral("Horizontal Slider");
    for (const auto &entry : kinds)
        if (name == entry.element)
            return QString::fromLatin1(entry.kind);
    return QString();
}

int read_cnp_file(const QString &path, CnpDescription &description)
{
    debug_trace("read_cnp_file ()\n");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -2;
    const QByteArray data = file.readAll();
    file.close();

    for (const QByteArray &physical : logical_lines(data)) {
        if (description.version < 0 && !physical.isEmpty() && std::isdigit(static_cast<unsigned char>(physical[0]))) {
            description.version = std::atoi(physical.constData());
            continue;
        }
        // The helpers cut the line in place: a terminated copy of its own.
        std::vector<char> buffer(physical.begin(), physical.end());
        buffer.push_back('\0');
        char *line = trim_blanks(buffer.data());
        if (std::strcmp(line, "@") == 0)
            break;
        if (!*line)
            continue;
        CnpElement element;
        if (!parse_element(line, element))
            continue;
        const int *n = element.numbers;
        if (element.name == panel_element) {
            description.has_panel = true;
            if (element.has_text) {
                description.has_caption = true;
                description.caption = element.text;
            }
            debug_trace("VPAN: %s, (%d %d %d %d)\n", element.name.constData(), n[0], n[1], n[2], n[3]);
            description.panel_width = n[1];
            description.panel_height = n[2];
            continue;
        }
        if (description.version <= 0)
            continue;
        debug_trace("CNP: %s/%s, (%d %d %d %d)\n", element.name.constData(),
                    (element.names_widget ? element.variable : element.params[0]).constData(), n[0], n[1], n[2],
                    n[3]);
        if (element.name == "ElemSlI")
            debug_trace("par3='%s'\n", element.params[4].constData());
        if (!element.item_kind().isEmpty())
            description.elements.push_back(std::move(element));
    }
    return 0;
}
