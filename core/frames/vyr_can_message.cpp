#include "core/frames/vyr_can_message.h"

#include <cstring>
#include <initializer_list>
#include <strings.h>

namespace {

// A text of more than two characters names an error frame when it begins one
// of these words, compared without regard to case over its own length.
bool names_error_frame(const char *text, size_t length)
{
    if (length <= 2)
        return false;
    for (const char *word : {"ERROR FRAME", "errorframe"})
        if (length <= std::strlen(word) && strncasecmp(text, word, length) == 0)
            return true;
    return false;
}

int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

} // namespace

int VyrCanMessage::parse_id(VyrCanMessage &message, const char *text)
{
    const size_t length = text ? std::strlen(text) : 0;
    if (length == 0)
        return -1;
    if (names_error_frame(text, length)) {
        message.id = 0;
        message.flags = ErrorFrame;
        message.dlc = 0;
        return 0;
    }
    // Suffix letters, read from the end.
    uint32_t flags = 0;
    uint32_t base = 10;
    for (size_t i = length; i > 0; --i) {
        switch (text[i - 1]) {
        case 'x': case 'X': flags |= Extended; continue;
        case 'r': case 'R': flags |= Remote; continue;
        case 'w': case 'W': flags |= WakeUp; continue;
        case 'l': case 'L': flags |= FdFrame; continue;
        case '+': flags |= BitRateSwitch; continue;
        case 's': case 'S': flags |= OneShot; continue;
        case 'h': case 'H': base = 16; continue;
        default: break;
        }
        break;
    }
    uint32_t id = 0;
    size_t digits = 0;
    for (; digits < length; ++digits) {
        const int digit = digit_value(text[digits]);
        if (digit >= int(base))
            break;
        id = id * base + uint32_t(digit);
    }
    message.id = id;
    message.flags = flags;
    return digits > 0 ? 0 : -1;
}

void VyrCanMessage::clear(VyrCanMessage &message)
{
    message.id = 0;
    message.time = 0;
    message.channel = 0;
    message.dlc = 0;
    std::memset(message.data, 0, sizeof message.data);
}
