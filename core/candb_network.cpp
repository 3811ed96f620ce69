#include "core/candb_network.h"

#include "core/candb_mux_group.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

bool is_nonzero(const CANdbAttributeValue *value)
{
    if (!value)
        return false;
    if (value->value_type == CANdbAttrFloat)
        return value->double_value != 0.0;
    if (value->value_type == CANdbAttrString)
        return false;
    return value->int_value != 0;
}

// Whether a multiplexed signal is in the frame. A signal with an
// extended-multiplexing record is present when the record's multiplexor is
// present and its raw value lies in one of the record's ranges; the chain of
// records is followed up to a signal without one, which the message's plain
// multiplexor decides (its value read as plain_value when plain_read).
// Records that name each other in a ring are never present.
bool is_present(const CANdbMessage *message, const CANdbSignal *signal, bool plain_read, uint64_t plain_value,
                const uint8_t *data, int length)
{
    for (int hops = 0; signal->mux_group() && signal->mux_group()->multiplexor; ++hops) {
        if (hops >= message->signal_list.count())
            return false;
        const CANdbMuxGroup *group = signal->mux_group();
        uint64_t value;
        if (group->multiplexor->decode_unsigned(data, length, value))
            return false;
        const bool in_range = std::any_of(group->ranges.begin(), group->ranges.end(),
                                          [value](const CANdbMuxRange &r) { return value >= r.low && value <= r.high; });
        if (!in_range)
            return false;
        signal = group->multiplexor;
    }
    return signal->mux_value == -1 || (plain_read && plain_value == static_cast<uint64_t>(signal->mux_value));
}

} // namespace

CANdbNetwork::CANdbNetwork()
{
    std::fill(std::begin(block_start_), std::end(block_start_), -1);
}

CANdbNetwork::~CANdbNetwork()
{
    schedule_tables.clear();
    encoding_types.clear();
    pseudo_message.reset();
    // Messages go before the nodes: a message leaves its transmitter's list
    // and its signals their receivers' lists as they go.
    messages.clear();
    env_vars.clear();
    value_tables.clear();
    attribute_defs.clear();
    nodes.clear();
}

CANdbMessage *CANdbNetwork::insert_message(std::unique_ptr<CANdbMessage> owned, int position)
{
    CANdbMessage *message = messages.insert_at(std::move(owned), position);
    if (message) {
        hash_message(message);
        message->network = this;
    }
    return message;
}

CANdbNode *CANdbNetwork::insert_node(std::unique_ptr<CANdbNode> node, int position)
{
    return nodes.insert_at(std::move(node), position);
}

CANdbEnvVar *CANdbNetwork::add_env_var(std::unique_ptr<CANdbEnvVar> owned)
{
    CANdbEnvVar *var = env_vars.append(std::move(owned));
    if (var)
        var->network = this;
    return var;
}

CANdbValueTable *CANdbNetwork::add_value_table(std::unique_ptr<CANdbValueTable> owned)
{
    CANdbValueTable *table = value_tables.append(std::move(owned));
    if (table)
        table->network = this;
    return table;
}

CANdbAttributeDef *CANdbNetwork::add_attribute_def(std::unique_ptr<CANdbAttributeDef> definition)
{
    return attribute_defs.append(std::move(definition));
}

LinScheduleTable *CANdbNetwork::add_schedule_table(std::unique_ptr<LinScheduleTable> table)
{
    return schedule_tables.append(std::move(table));
}

LinEncodingType *CANdbNetwork::add_encoding_type(std::unique_ptr<LinEncodingType> type)
{
    return encoding_types.append(std::move(type));
}

int CANdbNetwork::set_pseudo_message(std::unique_ptr<CANdbMessage> message)
{
    if (pseudo_message)
        return -1;
    pseudo_message = std::move(message);
    if (pseudo_message)
        pseudo_message->network = this;
    return 0;
}

CANdbMessage *CANdbNetwork::find_message(const char *name) const { return messages.find(name); }
CANdbNode *CANdbNetwork::find_node(const char *name) const { return nodes.find(name); }
CANdbEnvVar *CANdbNetwork::find_env_var(const char *name) const { return env_vars.find(name); }
CANdbValueTable *CANdbNetwork::find_value_table(const char *name) const { return value_tables.find(name); }
CANdbAttributeDef *CANdbNetwork::find_attribute_def(const char *name) const { return attribute_defs.find(name); }
LinEncodingType *CANdbNetwork::find_encoding_type(const char *name) const { return encoding_types.find(name); }

CANdbMessage *CANdbNetwork::find_message_by_id(uint32_t id) const
{
    if (id == kCANdbPseudoMessageId)
        return pseudo_message.get();
    const Bucket *bucket = bucket_of(id);
    if (!bucket)
        return nullptr;
    if (bucket->first && bucket->first->key_id() == id)
        return bucket->first;
    for (int32_t i = bucket->overflow; i >= 0; i = overflow_[i].next)
        if (overflow_[i].message->key_id() == id)
            return overflow_[i].message;
    return nullptr;
}

CANdbMessage *CANdbNetwork::find_message_by_j1939_key(uint32_t pgn) const
{
    const uint32_t key = (pgn & 0x1FFFFu) | kCANdbJ1939KeyBit;
    const Bucket *bucket = bucket_of(key);
    if (!bucket)
        return nullptr;
    if (bucket->first && bucket->first->j1939_key() == key)
        return bucket->first;
    for (int32_t i = bucket->overflow; i >= 0; i = overflow_[i].next)
        if (overflow_[i].message->j1939_key() == key)
            return overflow_[i].message;
    return nullptr;
}

// A message of a FlexRay network stands under slot * 64 + cycle for every
// cycle of its pattern; any other message under its identifier and, with a
// J1939 mode, under its parameter-group key too.
void CANdbNetwork::hash_message(CANdbMessage *message)
{
    if (flexray) {
        int repetition = message->cycle_repetition;
        if (repetition <= 0)
            repetition = 1;
        if (repetition > 64)
            repetition = 64;
        for (int cycle = message->base_cycle < 0 ? 0 : message->base_cycle; cycle < 64; cycle += repetition)
            hash_under(message->id * 64u + static_cast<uint32_t>(cycle), message);
        return;
    }
    hash_under(message->key_id(), message);
    if (const uint32_t key = message->j1939_key())
        hash_under(key, message);
}

// The bucket's first slot when free, else the head of its overflow chain. A
// message stands at most once in a bucket (its identifier and J1939 key may
// fall into the same one), so a frame never decodes it twice.
void CANdbNetwork::hash_under(uint32_t key, CANdbMessage *message)
{
    const uint32_t index = key % kHashBuckets;
    int32_t &block = block_start_[index / kBlockBuckets];
    if (block < 0) {
        block = static_cast<int32_t>(buckets_.size());
        buckets_.resize(buckets_.size() + kBlockBuckets);
    }
    Bucket &bucket = buckets_[size_t(block) + index % kBlockBuckets];
    if (bucket.first == message)
        return;
    for (int32_t i = bucket.overflow; i >= 0; i = overflow_[i].next)
        if (overflow_[i].message == message)
            return;
    if (!bucket.first) {
        bucket.first = message;
    } else {
        overflow_.push_back({message, bucket.overflow});
        bucket.overflow = static_cast<int32_t>(overflow_.size() - 1);
    }
}

void CANdbNetwork::clear_hash()
{
    std::fill(std::begin(block_start_), std::end(block_start_), -1);
    buckets_.clear();
    overflow_.clear();
}

void CANdbNetwork::rehash_messages()
{
    clear_hash();
    for (CANdbMessage *m : messages)
        hash_message(m);
}

CANdbMessage *CANdbNetwork::first_message()
{
    return messages.start(message_cursor_);
}

CANdbMessage *CANdbNetwork::next_message()
{
    return messages.step(message_cursor_);
}

CANdbNode *CANdbNetwork::first_node()
{
    return nodes.first();
}

int CANdbNetwork::decode_frame(uint32_t id, const uint8_t *data, int length, void *argument) const
{
    if ((j1939_network || j1939_frames) && (id & kCANdbExtendedBit)) {
        const int matched = decode_bucket(candb_j1939_key(id), true, id, data, length, argument);
        if (matched)
            return matched;
        // No parameter group matched: look the plain identifier up.
    }
    return decode_bucket(id, false, id, data, length, argument);
}

int CANdbNetwork::decode_bucket(uint32_t key, bool j1939_pass, uint32_t id, const uint8_t *data, int length,
                                void *argument) const
{
    const uint32_t wanted = flexray ? id >> 6 : id;
    int matched = 0;
    auto visit = [&](const CANdbMessage *m) {
        if (j1939_pass ? m->j1939_key() != key : m->key_id() != wanted)
            return;
        ++matched;
        decode_message(m, id & 63u, data, length, argument);
    };
    const Bucket *bucket = bucket_of(key);
    if (!bucket)
        return 0;
    if (bucket->first)
        visit(bucket->first);
    for (int32_t i = bucket->overflow; i >= 0; i = overflow_[i].next)
        visit(overflow_[i].message);
    return matched;
}

// Decodes the signals of a matching message: on FlexRay only in the cycles of
// its pattern (repetitions are powers of two); multiplexed signals only when
// their multiplexors could be read and select them.
void CANdbNetwork::decode_message(const CANdbMessage *m, uint32_t cycle, const uint8_t *data, int length,
                                  void *argument) const
{
    const uint32_t base = static_cast<uint32_t>(m->base_cycle);
    const uint32_t repetition = static_cast<uint32_t>(m->cycle_repetition);
    if (flexray && repetition && cycle >= base && ((cycle - base) & (repetition - 1)))
        return;
    uint64_t mux_value = 0;
    const CANdbSignal *mux = m->plain_multiplexor();
    const bool mux_read = mux && mux->decode_unsigned(data, length, mux_value) == 0;
    for (const CANdbSignal *s : m->signal_list)
        if (is_present(m, s, mux_read, mux_value, data, length))
            s->decode_and_notify(data, length, argument);
}

void CANdbNetwork::apply_can_fd_attributes()
{
    can_fd = false;
    const CANdbAttributeDef *bus_type = find_attribute_def("BusType");
    if (bus_type && bus_type->object_kind == CANdbObjectNetwork) {
        const CANdbAttributeValue *value = attributes.find_by_def(bus_type);
        const char *text = value && !value->string_value.empty() ? value->string_value.c_str() : "???";
        if (std::strcmp(text, "CAN FD") == 0)
            can_fd = true;
    }
    const CANdbAttributeDef *format = find_attribute_def("VFrameFormat");
    if (!format || format->value_type != CANdbAttrEnum || format->object_kind != CANdbObjectMessage)
        return;
    for (CANdbMessage *m : messages) {
        const CANdbAttributeValue *value = m->attributes.find_by_def(format);
        const char *entry = value ? format->enum_name(value->int_value) : nullptr;
        if (entry && std::strstr(entry, "CAN_FD"))
            m->can_fd = true;
        m->bit_rate_switch = is_nonzero(m->attributes.find_by_name("CANFD_BRS"));
    }
}

void CANdbNetwork::apply_j1939_attributes()
{
    j1939_network = false;
    const CANdbAttributeValue *pgn = attributes.find_by_name("J1939PGN");
    if (pgn && pgn->value_type == CANdbAttrInt && pgn->int_value == 1) {
        j1939_network = true;
        for (CANdbMessage *m : messages)
            m->j1939_mode = CANdbJ1939Network;
    }
    bool frame_format_mode = false;
    bool extended_changed = false;
    const CANdbAttributeDef *format = find_attribute_def("VFrameFormat");
    if (format && format->value_type == CANdbAttrEnum && format->object_kind == CANdbObjectMessage) {
        if (format->enum_index("J1939PG") >= 0)
            j1939_frames = true;
        for (CANdbMessage *m : messages) {
            const bool was_extended = m->extended;
            m->apply_frame_format();
            frame_format_mode |= m->j1939_mode == CANdbJ1939FrameFormat;
            extended_changed |= m->extended != was_extended;
        }
    }
    // A message whose extended flag changed stands under the wrong key too.
    if (j1939_network || frame_format_mode || extended_changed)
        rehash_messages();
}

void CANdbNetwork::resolve_sign_signals(CANdbMessage *message)
{
    if (!message)
        return;
    for (CANdbSignal *s : message->signal_list) {
        if (s->name.empty())
            continue;
        const CANdbAttributeValue *value = s->attributes.find_by_name("VorzeichenSignal");
        if (!value || value->value_type != CANdbAttrString)
            value = s->attributes.find_by_name("SignSignal");
        const bool named = value && value->value_type == CANdbAttrString && !value->string_value.empty();
        s->sign_signal = named ? message->find_signal(value->string_value.c_str()) : nullptr;
        if (s->sign_signal && s->value_type == CANdbRawUnsigned) {
            s->value_type = CANdbRawSigned;
            s->update_value_kind();
            if (s->minimum == 0.0)
                s->minimum = -s->maximum;
        }
    }
}
