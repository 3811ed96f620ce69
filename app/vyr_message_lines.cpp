#include "app/vyr_message_lines.h"

#include <cstring>

void VyrMessageLines::add(int level, const char *text) const
{
    if (!text || !*text)
        return;
    size_t length = std::strlen(text);
    if (text[length - 1] == '\n')
        --length;
    m_sink(level == 3 || level == 4 ? marked_row : 0, std::string(text, length));
}
