#include "core/frames/vyr_can_message.h"

#include "core/frames/hex_digit.h"

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

} // namespace

namespace {

// parse_id; with `whole`, the text must be the literal and nothing else.
int parse_literal(VyrCanMessage &message, const char *text, bool whole)
{
    const size_t length = text ? std::strlen(text) : 0;
    if (length == 0)
        return -1;
    if (names_error_frame(text, length)) {
        message.id = 0;
        message.flags = VyrCanMessage::ErrorFrame;
        message.dlc = 0;
        return 0;
    }
    // Suffix letters, read from the end.
    uint32_t flags = 0;
    uint32_t base = 10;
    size_t suffix = length;
    for (; suffix > 0; --suffix) {
        switch (text[suffix - 1]) {
        case 'x': case 'X': flags |= VyrCanMessage::Extended; continue;
        case 'r': case 'R': flags |= VyrCanMessage::Remote; continue;
        case 'w': case 'W': flags |= VyrCanMessage::WakeUp; continue;
        case 'l': case 'L': flags |= VyrCanMessage::FdFrame; continue;
        case '+': flags |= VyrCanMessage::BitRateSwitch; continue;
        case 's': case 'S': flags |= VyrCanMessage::OneShot; continue;
        case 'h': case 'H': base = 16; continue;
        default: break;
        }
        break;
    }
    uint64_t id = 0;
    size_t digits = 0;
    for (; digits < length; ++digits) {
        const int digit = hex_digit_value(text[digits]);
        if (digit < 0 || digit >= int(base))
            break;
        id = id * base + uint32_t(digit);
        if (id > 0xFFFFFFFFu) {
            if (whole)
                return -1;
            id &= 0xFFFFFFFFu; // wraps in 32 bits
        }
    }
    message.id = uint32_t(id);
    message.flags = flags;
    if (whole && digits != suffix)
        return -1;
    return digits > 0 ? 0 : -1;
}

} // namespace

int VyrCanMessage::parse_id(VyrCanMessage &message, const char *text)
{
    return parse_literal(message, text, false);
}

int VyrCanMessage::parse_whole_id(VyrCanMessage &message, const char *text)
{
    return parse_literal(message, text, true);
}

void VyrCanMessage::clear(VyrCanMessage &message)
{
    message.id = 0;
    message.time = 0;
    message.channel = 0;
    message.dlc = 0;
    std::memset(message.data, 0, sizeof message.data);
}
