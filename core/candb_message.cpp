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
