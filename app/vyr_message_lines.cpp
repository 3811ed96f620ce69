#include "app/vyr_message_lines.h"

#include <cstring>

void VyrMessageLines::add(int level, const char *text)
{
    if (!text || !*text)
        return;
    const int flags = level == 3 || level == 4 ? marked_row : 0;
    const size_t length = std::strlen(text);
    std::string row;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto pending = m_pending.find(std::this_thread::get_id());
        if (pending != m_pending.end()) {
            pending->second.append(text, length);
            if (pending->second.size() <= max_pending && pending->second.back() != '\n')
                return;
            row = std::move(pending->second);
            m_pending.erase(pending);
        } else if (text[length - 1] == '\n' || length > max_pending) {
            row.assign(text, length);
        } else {
            m_pending.emplace(std::this_thread::get_id(), std::string(text, length));
            return;
        }
    }
    m_sink(flags, row);
}
