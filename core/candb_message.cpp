#include "core/candb_message.h"

#include "core/candb_default_message_data.h"
#include "core/candb_mux_group.h"
#include "core/candb_network.h"
#include "core/candb_node.h"

#include <cstring>

CANdbMessage::CANdbMessage(const char *message_name)
{
    set_name(message_name);
}

CANdbMessage::~CANdbMessage()
{
    if (default_data)
        default_data->message = nullptr;
    set_transmitter(nullptr);
    signal_list.clear();
}

uint32_t CANdbMessage::j1939_key() const
{
    if (!extended)
        return 0;
    switch (j1939_mode) {
    case CANdbJ1939FrameFormat:
        return candb_j1939_key(id);
    case CANdbJ1939Network:
        return (id & 0x1FFFFu) | kCANdbJ1939KeyBit;
    default:
        return 0;
    }
}

CANdbSignal *CANdbMessage::multiplexor() const
{
    for (CANdbSignal *s : signal_list)
        if (s->is_multiplexor && !s->mux_group())
            return s;
    return nullptr;
}

CANdbSignal *CANdbMessage::plain_multiplexor() const
{
    if (CANdbSignal *mux = multiplexor())
        return mux;
    for (CANdbSignal *s : signal_list)
        if (s->has_dependents() && !s->mux_group() && s->mux_value == -1)
            return s;
    return nullptr;
}

namespace {

// CANdbMessage::signal_present with the message's plain multiplexor, through
// at most `depth` multiplexors (a file may make multiplexors select each other).
bool signal_selected(const CANdbSignal &signal, const CANdbSignal *plain, const uint8_t *data, int length, int depth)
{
    const CANdbMuxGroup *group = signal.mux_group();
    const CANdbSignal *multiplexor = group && group->multiplexor ? group->multiplexor : nullptr;
    if (!multiplexor) {
        if (signal.mux_value == -1)
            return true;
        multiplexor = plain;
        // A multiplexed multiplexor without a record selects the others only.
        if (multiplexor == &signal)
            return true;
    }
    uint64_t value = 0;
    if (!multiplexor || depth <= 0 || !signal_selected(*multiplexor, plain, data, length, depth - 1) ||
        multiplexor->decode_unsigned(data, length, value) != 0)
        return false;
    if (!group || !group->multiplexor)
        return value == uint64_t(signal.mux_value);
    for (const CANdbMuxRange &range : group->ranges)
        if (value >= range.low && value <= range.high)
            return true;
    return false;
}

} // namespace

bool CANdbMessage::signal_present(const CANdbSignal &signal, const uint8_t *data, int length) const
{
    return signal_selected(signal, plain_multiplexor(), data, length, signal_list.count());
}

std::vector<CANdbSignal *> CANdbMessage::present_signals(const uint8_t *data, int length) const
{
    std::vector<CANdbSignal *> present;
    const CANdbSignal *plain = plain_multiplexor();
    for (CANdbSignal *signal : signal_list)
        if (signal_selected(*signal, plain, data, length, signal_list.count()))
            present.push_back(signal);
    return present;
}

CANdbSignal *CANdbMessage::find_signal(const char *signal_name) const
{
    return signal_list.find(signal_name);
}

CANdbSignal *CANdbMessage::first_signal()
{
    return signal_list.start(signal_cursor_);
}

CANdbSignal *CANdbMessage::next_signal()
{
    return signal_list.step(signal_cursor_);
}

CANdbSignal *CANdbMessage::insert_signal(std::unique_ptr<CANdbSignal> owned, int position)
{
    CANdbSignal *signal = signal_list.insert_at(std::move(owned), position);
    if (!signal)
        return nullptr;
    signal->message = this;
    CANdbMuxGroup *group = signal->mux_group();
    if (group && !group->multiplexor_name.empty()) {
        if (CANdbSignal *mux = find_signal(group->multiplexor_name.c_str()))
            group->set_multiplexor(mux);
    }
    return signal;
}

void CANdbMessage::set_transmitter(CANdbNode *node)
{
    if (node == transmitter)
        return;
    if (transmitter)
        erase_last_of(transmitter->transmitted, this);
    transmitter = node;
    // A message stands in exactly its transmitter's list, so the new list
    // needs no search.
    if (node)
        node->transmitted.push_back(this);
}

void CANdbMessage::apply_frame_format()
{
    if (!network)
        return;
    const CANdbAttributeDef *format = network->find_attribute_def("VFrameFormat");
    if (!format)
        return;
    bool fd = false;
    bool ext = extended;
    uint8_t mode = CANdbJ1939None;
    const CANdbAttributeValue *value = attributes.find_by_def(format);
    const char *entry = value ? format->enum_name(value->int_value) : nullptr;
    if (entry) {
        if (std::strstr(entry, "StandardCAN_FD")) {
            ext = false;
            fd = true;
        } else if (std::strstr(entry, "ExtendedCAN_FD")) {
            ext = true;
            fd = true;
        } else if (std::strstr(entry, "StandardCAN")) {
            ext = false;
        } else if (std::strstr(entry, "ExtendedCAN")) {
            ext = true;
        } else if (std::strstr(entry, "J1939PG")) {
            ext = true;
            mode = CANdbJ1939FrameFormat;
        }
    }
    can_fd = fd;
    extended = ext;
    j1939_mode = mode;
}
