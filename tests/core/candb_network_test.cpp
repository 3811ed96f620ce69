// The network database model built in code: identifier hash with J1939 and
// FlexRay keys, frame decoding, post-load passes and the ownership links.
#include "core/candb_cluster.h"
#include "core/candb_default_message_data.h"
#include "core/candb_message_data.h"
#include "core/candb_mux_group.h"
#include "core/candb_network.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

CANdbSignal *add_signal(CANdbMessage *m, const char *name, int start, int length, int mux_value = -1)
{
    auto s = std::make_unique<CANdbSignal>(name);
    s->start_bit = start;
    s->length = length;
    s->mux_value = mux_value;
    s->value_type = CANdbRawUnsigned;
    s->update_value_kind();
    return m->insert_signal(std::move(s));
}

CANdbMessage *add_message(CANdbNetwork &net, const char *name, uint32_t id, bool extended = false, int dlc = 8)
{
    auto m = std::make_unique<CANdbMessage>(name);
    m->id = id;
    m->extended = extended;
    m->dlc = dlc;
    return net.insert_message(std::move(m));
}

// Records which signals were decoded, by name, with their integer values.
struct Decoded {
    std::map<std::string, int> values;
    static void record(void *context, const CANdbSignalValue *value, void *)
    {
        auto *entry = static_cast<std::pair<Decoded *, std::string> *>(context);
        entry->first->values[entry->second] = value->int_value;
    }
};

// Observes every signal of the network.
struct Observer {
    Decoded decoded;
    std::list<std::pair<Decoded *, std::string>> contexts; // stable addresses
    explicit Observer(CANdbNetwork &net)
    {
        for (CANdbMessage *m : net.messages)
            for (CANdbSignal *s : m->signal_list) {
                contexts.emplace_back(&decoded, s->name);
                s->add_observer(Decoded::record, &contexts.back());
            }
    }
};

TEST(CANdbNetwork, FindsMessagesByIdentifierAndName)
{
    CANdbNetwork net;
    CANdbMessage *std_msg = add_message(net, "Std", 100);
    CANdbMessage *ext_msg = add_message(net, "Ext", 100, true);
    // 100 + 4099 falls into the same bucket and lands in its overflow chain.
    CANdbMessage *chained = add_message(net, "Chained", 100 + CANdbNetwork::kHashBuckets);
    auto owned_pseudo = std::make_unique<CANdbMessage>("Pseudo");
    CANdbMessage *pseudo = owned_pseudo.get();
    pseudo->id = kCANdbPseudoMessageId;
    EXPECT_EQ(net.set_pseudo_message(std::move(owned_pseudo)), 0);
    EXPECT_EQ(net.set_pseudo_message(std::make_unique<CANdbMessage>("Second")), -1);

    EXPECT_EQ(net.find_message_by_id(100), std_msg);
    EXPECT_EQ(net.find_message_by_id(100 | kCANdbExtendedBit), ext_msg);
    EXPECT_EQ(net.find_message_by_id(100 + CANdbNetwork::kHashBuckets), chained);
    EXPECT_EQ(net.find_message_by_id(101), nullptr);
    EXPECT_EQ(net.find_message_by_id(kCANdbPseudoMessageId), pseudo);
    EXPECT_EQ(net.find_message("Ext"), ext_msg);
    EXPECT_EQ(net.find_message("ext"), nullptr) << "names compare with case";
    EXPECT_EQ(net.find_message(nullptr), nullptr);
    EXPECT_EQ(net.messages.count(), 3);

    EXPECT_EQ(net.next_message(), nullptr) << "no cursor before first_message";
    std::vector<std::string> order;
    for (CANdbMessage *m = net.first_message(); m; m = net.next_message())
        order.push_back(m->name);
    EXPECT_EQ(order, (std::vector<std::string>{"Std", "Ext", "Chained"}));
    EXPECT_EQ(net.next_message(), nullptr) << "the cursor stays past the end";
}

TEST(CANdbNetwork, InsertsAtPositions)
{
    CANdbNetwork net;
    add_message(net, "B", 2);
    CANdbMessage *a = net.insert_message(std::make_unique<CANdbMessage>("A"), 0);
    CANdbMessage *c = net.insert_message(std::make_unique<CANdbMessage>("C"), 7);
    net.insert_message(std::make_unique<CANdbMessage>("AB"), 1);
    std::vector<std::string> order;
    for (CANdbMessage *m : net.messages)
        order.push_back(m->name);
    EXPECT_EQ(order, (std::vector<std::string>{"A", "AB", "B", "C"}));
    EXPECT_EQ(net.messages.last(), c);
    EXPECT_EQ(a->network, &net);
    EXPECT_EQ(net.insert_message(nullptr), nullptr);
}

TEST(CANdbNetwork, NameLookupsFindTheFirstInListOrderOnShortAndLongLists)
{
    for (int count : {3, CANdbNamedList<CANdbNode>::kIndexFrom + 20}) {
        SCOPED_TRACE(count);
        CANdbNamedList<CANdbNode> nodes;
        std::vector<CANdbNode *> made;
        for (int i = 0; i < count; ++i)
            made.push_back(nodes.append(std::make_unique<CANdbNode>(("N" + std::to_string(i)).c_str())));
        EXPECT_EQ(nodes.find("N2"), made[2]);
        EXPECT_EQ(nodes.find("n2"), nullptr);
        EXPECT_EQ(nodes.find(nullptr), nullptr);

        nodes.append(std::make_unique<CANdbNode>("N1"));
        EXPECT_EQ(nodes.find("N1"), made[1]) << "a repeated name finds the first";
        CANdbNode *in_front = nodes.insert_at(std::make_unique<CANdbNode>("N2"), 0);
        EXPECT_EQ(nodes.find("N2"), in_front) << "placed before the earlier one";
        nodes.take(in_front).reset();
        EXPECT_EQ(nodes.find("N2"), made[2]);
        std::unique_ptr<CANdbNode> taken = nodes.take(made[1]);
        EXPECT_EQ(taken.get(), made[1]);
        EXPECT_NE(nodes.find("N1"), nullptr) << "the repeat is found once the first leaves";
        EXPECT_NE(nodes.find("N1"), made[1]);
        EXPECT_EQ(nodes.take(made[1]), nullptr) << "no longer listed";
        EXPECT_EQ(nodes.count(), count);
    }
}

TEST(CANdbNetwork, DecodesOnlyTheMatchingMultiplexedSignals)
{
    CANdbNetwork net;
    CANdbMessage *m = add_message(net, "Mux", 0x200);
    add_signal(m, "Selector", 0, 4)->is_multiplexor = true;
    add_signal(m, "Always", 8, 8);
    add_signal(m, "Page0", 16, 8, 0);
    add_signal(m, "Page1", 16, 8, 1);
    add_signal(m, "Page1Far", 56, 8, 1);
    Observer observer(net);

    const uint8_t page1[] = {0x01, 0x11, 0x22, 0, 0, 0, 0, 0x33};
    EXPECT_EQ(net.decode_frame(0x200, page1, 8, nullptr), 1);
    EXPECT_EQ(observer.decoded.values,
              (std::map<std::string, int>{{"Selector", 1}, {"Always", 0x11}, {"Page1", 0x22}, {"Page1Far", 0x33}}));

    observer.decoded.values.clear();
    const uint8_t page0[] = {0x00, 0x11, 0x44};
    EXPECT_EQ(net.decode_frame(0x200, page0, 3, nullptr), 1);
    EXPECT_EQ(observer.decoded.values, (std::map<std::string, int>{{"Selector", 0}, {"Always", 0x11}, {"Page0", 0x44}}));

    // Without a readable multiplexor no multiplexed signal decodes.
    m->signal_list.first()->start_bit = 60;
    observer.decoded.values.clear();
    EXPECT_EQ(net.decode_frame(0x200, page1, 3, nullptr), 1);
    EXPECT_EQ(observer.decoded.values, (std::map<std::string, int>{{"Always", 0x11}}));

    EXPECT_EQ(net.decode_frame(0x201, page1, 8, nullptr), 0);
}

// Binds an extended-multiplexing record with the ranges to the signal.
void add_record(CANdbNetwork &net, CANdbSignal *signal, CANdbSignal *multiplexor,
                std::vector<std::pair<uint32_t, uint32_t>> ranges)
{
    auto group = std::make_unique<CANdbMuxGroup>(&net);
    for (const auto &r : ranges)
        group->add_range(r.first, r.second);
    group->set_multiplexor(multiplexor);
    signal->set_mux_group(std::move(group));
}

TEST(CANdbNetwork, ExtendedMultiplexingDecodesBySelectorRanges)
{
    CANdbNetwork net;
    CANdbMessage *m = add_message(net, "Ext", 0x300);
    // As a DBC file with SG_MUL_VAL_ lines leaves them: the top multiplexor
    // has lost its plain flag, the others are selected through their records.
    CANdbSignal *sel = add_signal(m, "Sel", 0, 8);
    CANdbSignal *sub = add_signal(m, "Sub", 8, 8, 1);
    CANdbSignal *leaf = add_signal(m, "Leaf", 16, 8, 2);
    CANdbSignal *inner = add_signal(m, "Inner", 24, 8); // "M" with a record of its own
    CANdbSignal *ring_a = add_signal(m, "RingA", 32, 8, 0);
    CANdbSignal *ring_b = add_signal(m, "RingB", 40, 8, 0);
    add_signal(m, "Plain", 48, 8, 1); // no record: Sel, the outermost multiplexor, selects it
    add_record(net, sub, sel, {{1, 1}});
    add_record(net, leaf, sub, {{2, 2}, {4, 6}});
    add_record(net, inner, sel, {{3, 3}});
    add_record(net, ring_a, ring_b, {{0, 255}});
    add_record(net, ring_b, ring_a, {{0, 255}});
    Observer observer(net);

    const struct {
        const char *what;
        std::vector<uint8_t> frame;
        std::map<std::string, int> decoded;
    } cases[] = {
        // The ring of records that name each other is read in full and never present.
        {"leaf in its second range",
         {1, 5, 0x33, 0x44, 7, 7, 0x55, 0},
         {{"Sel", 1}, {"Sub", 5}, {"Leaf", 0x33}, {"Plain", 0x55}}},
        {"leaf in its first range", {1, 2, 0x33}, {{"Sel", 1}, {"Sub", 2}, {"Leaf", 0x33}}},
        {"sub selects no leaf", {1, 3, 0x33}, {{"Sel", 1}, {"Sub", 3}}},
        {"sel selects the inner multiplexor", {3, 5, 0x33, 0x44, 7, 7, 0x55}, {{"Sel", 3}, {"Inner", 0x44}}},
        {"leaf not reached while sub is absent", {2, 5, 0x33}, {{"Sel", 2}}},
        {"sub outside the frame", {1}, {{"Sel", 1}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        observer.decoded.values.clear();
        EXPECT_EQ(net.decode_frame(0x300, c.frame.data(), static_cast<int>(c.frame.size()), nullptr), 1);
        EXPECT_EQ(observer.decoded.values, c.decoded);
    }
}

TEST(CANdbNetwork, J1939KeysOfPdu1AndPdu2Identifiers)
{
    CANdbNetwork net;
    // PDU1 (PF 0xEA): data page and PF only, the destination byte is ignored.
    CANdbMessage *request = add_message(net, "Request", 0x18EA10FE, true);
    request->j1939_mode = CANdbJ1939FrameFormat;
    // PDU2 (PF 0xFE): the group extension belongs to the parameter group.
    CANdbMessage *status = add_message(net, "Status", 0x18FEF100, true);
    status->j1939_mode = CANdbJ1939FrameFormat;
    net.j1939_frames = true;
    net.rehash_messages();

    EXPECT_EQ(request->j1939_key(), 0x4000EA00u);
    EXPECT_EQ(status->j1939_key(), 0x4000FEF1u);
    EXPECT_EQ(net.find_message_by_j1939_key(0xEA00), request);
    EXPECT_EQ(net.find_message_by_j1939_key(0x1FEF1), nullptr) << "data page 1 is another group";
    EXPECT_EQ(net.find_message_by_j1939_key(0xFEF1), status);

    add_signal(request, "R", 0, 8);
    add_signal(status, "S", 0, 8);
    Observer observer(net);
    const uint8_t data[] = {7};
    EXPECT_EQ(net.decode_frame(0x98EA2033, data, 1, nullptr), 1) << "other destination and source";
    EXPECT_EQ(net.decode_frame(0x98FEF105, data, 1, nullptr), 1) << "other source";
    EXPECT_EQ(net.decode_frame(0x98FEF205, data, 1, nullptr), 0) << "other group extension";
    EXPECT_EQ(observer.decoded.values, (std::map<std::string, int>{{"R", 7}, {"S", 7}}));

    CANdbMessage plain;
    plain.id = 0x18FEF100;
    EXPECT_EQ(plain.j1939_key(), 0u) << "standard-frame messages have no key";
    plain.extended = true;
    plain.j1939_mode = CANdbJ1939Network;
    EXPECT_EQ(plain.j1939_key(), 0x4000F100u);
}

TEST(CANdbNetwork, J1939PassFallsBackToThePlainIdentifier)
{
    CANdbNetwork net;
    CANdbMessage *m = add_message(net, "Proprietary", 0x18FF0000, true);
    add_signal(m, "Value", 0, 8);
    // A network-wide J1939 network whose key for this message (0xFF0000 & 0x1FFFF)
    // is not the frame's parameter group.
    net.j1939_network = true;
    m->j1939_mode = CANdbJ1939Network;
    net.rehash_messages();
    Observer observer(net);
    const uint8_t data[] = {9};
    EXPECT_EQ(net.decode_frame(0x98FF0000, data, 1, nullptr), 1);
    EXPECT_EQ(observer.decoded.values["Value"], 9);
}

TEST(CANdbNetwork, IdentifierAndJ1939KeySharingABucketDecodeOnce)
{
    CANdbNetwork net;
    net.j1939_network = true;
    // 0x800C0100 and its key 0x40000100 fall into the same bucket.
    ASSERT_EQ((0xC0100u | kCANdbExtendedBit) % CANdbNetwork::kHashBuckets,
              (0x100u | kCANdbJ1939KeyBit) % CANdbNetwork::kHashBuckets);
    auto owned = std::make_unique<CANdbMessage>("Shared");
    owned->id = 0xC0100;
    owned->extended = true;
    owned->j1939_mode = CANdbJ1939Network;
    CANdbMessage *m = net.insert_message(std::move(owned));
    int calls = 0;
    CANdbSignal *s = add_signal(m, "V", 0, 8);
    s->add_observer([](void *context, const CANdbSignalValue *, void *) { ++*static_cast<int *>(context); }, &calls);

    const uint8_t data[] = {1};
    EXPECT_EQ(net.decode_frame(0xC0100 | kCANdbExtendedBit, data, 1, nullptr), 1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(net.find_message_by_j1939_key(0x100), m);
    net.rehash_messages();
    EXPECT_EQ(net.decode_frame(0xC0100 | kCANdbExtendedBit, data, 1, nullptr), 1) << "after a rehash too";
}

TEST(CANdbNetwork, FlexRayMessagesDecodeInTheirCyclesOnly)
{
    CANdbNetwork net;
    net.flexray = true;
    auto m = std::make_unique<CANdbMessage>("Slot10");
    m->id = 10;
    m->base_cycle = 1;
    m->cycle_repetition = 4;
    add_signal(m.get(), "V", 0, 8);
    net.insert_message(std::move(m));
    Observer observer(net);
    const uint8_t data[] = {3};
    std::vector<int> decoded_cycles;
    for (uint32_t cycle = 0; cycle < 64; ++cycle) {
        observer.decoded.values.clear();
        const int matched = net.decode_frame(10 * 64 + cycle, data, 1, nullptr);
        EXPECT_EQ(matched, observer.decoded.values.empty() ? 0 : 1);
        if (matched)
            decoded_cycles.push_back(static_cast<int>(cycle));
    }
    std::vector<int> expected;
    for (int c = 1; c < 64; c += 4)
        expected.push_back(c);
    EXPECT_EQ(decoded_cycles, expected);
    EXPECT_EQ(net.decode_frame(11 * 64 + 1, data, 1, nullptr), 0) << "another slot";
}

// A network with the attribute definitions of the post-load passes.
struct PostLoadNetwork : CANdbNetwork {
    CANdbAttributeDef *frame_format =
        add_attribute_def(std::make_unique<CANdbAttributeDef>("VFrameFormat", CANdbAttrEnum, CANdbObjectMessage));
    CANdbAttributeDef *brs =
        add_attribute_def(std::make_unique<CANdbAttributeDef>("CANFD_BRS", CANdbAttrEnum, CANdbObjectMessage));

    PostLoadNetwork()
    {
        const char *entries[] = {"StandardCAN", "ExtendedCAN", "reserved", "J1939PG", "reserved",
                                 "reserved", "reserved", "reserved", "reserved", "reserved",
                                 "reserved", "reserved", "reserved", "reserved", "StandardCAN_FD",
                                 "ExtendedCAN_FD"};
        for (int i = 0; i < 16; ++i)
            frame_format->add_enum_value(entries[i], i);
        brs->add_enum_value("0", 0);
        brs->add_enum_value("1", 1);
    }
    void set_int(CANdbAttributeValueList &list, CANdbAttributeDef *def, int value)
    {
        list.append(std::make_unique<CANdbAttributeValue>(def))->int_value = value;
    }
    void set_text(CANdbAttributeValueList &list, CANdbAttributeDef *def, const char *text)
    {
        list.append(std::make_unique<CANdbAttributeValue>(def))->set_string(text);
    }
};

TEST(CANdbNetwork, PostLoadPassesApplyFrameFormatsAndBusType)
{
    PostLoadNetwork net;
    CANdbAttributeDef *bus_type =
        net.add_attribute_def(std::make_unique<CANdbAttributeDef>("BusType", CANdbAttrString, CANdbObjectNetwork));
    net.set_text(net.attributes, bus_type, "CAN FD");

    CANdbMessage *fd = add_message(net, "Fd", 0x123);
    net.set_int(fd->attributes, net.frame_format, 14);
    net.set_int(fd->attributes, net.brs, 1);
    CANdbMessage *ext_fd = add_message(net, "ExtFd", 0x1234567, true);
    net.set_int(ext_fd->attributes, net.frame_format, 15);
    CANdbMessage *now_std = add_message(net, "NowStd", 0x7FF, true);
    net.set_int(now_std->attributes, net.frame_format, 0);
    CANdbMessage *pg = add_message(net, "Pgn", 0x18FEF100, true);
    net.set_int(pg->attributes, net.frame_format, 3);
    CANdbMessage *none = add_message(net, "NoValue", 0x10);

    net.apply_can_fd_attributes();
    EXPECT_TRUE(net.can_fd);
    EXPECT_TRUE(fd->can_fd);
    EXPECT_TRUE(fd->bit_rate_switch);
    EXPECT_TRUE(ext_fd->can_fd);
    EXPECT_FALSE(ext_fd->bit_rate_switch);
    EXPECT_FALSE(now_std->can_fd);

    net.apply_j1939_attributes();
    EXPECT_FALSE(net.j1939_network);
    EXPECT_TRUE(net.j1939_frames);
    EXPECT_TRUE(fd->can_fd);
    EXPECT_FALSE(fd->extended);
    EXPECT_TRUE(ext_fd->extended);
    EXPECT_FALSE(now_std->extended);
    EXPECT_EQ(pg->j1939_mode, CANdbJ1939FrameFormat);
    EXPECT_EQ(none->j1939_mode, CANdbJ1939None);
    // The hash follows the changed flags and the new J1939 keys.
    EXPECT_EQ(net.find_message_by_id(0x7FF), now_std);
    EXPECT_EQ(net.find_message_by_id(0x7FF | kCANdbExtendedBit), nullptr);
    EXPECT_EQ(net.find_message_by_j1939_key(0xFEF1), pg);
}

TEST(CANdbNetwork, FrameFormatThatChangesTheExtendedFlagRehashes)
{
    // No J1939 message: only the changed extended flag calls for a new hash.
    PostLoadNetwork net;
    CANdbMessage *now_std = add_message(net, "NowStd", 0x7FF, true);
    net.set_int(now_std->attributes, net.frame_format, 0);
    CANdbMessage *now_ext = add_message(net, "NowExt", 0x123);
    net.set_int(now_ext->attributes, net.frame_format, 1);
    net.apply_j1939_attributes();
    EXPECT_EQ(net.find_message_by_id(0x7FF), now_std);
    EXPECT_EQ(net.find_message_by_id(0x123 | kCANdbExtendedBit), now_ext);
    EXPECT_EQ(net.find_message_by_id(0x123), nullptr);
}

TEST(CANdbNetwork, BusTypeOtherThanCanFd)
{
    for (const char *text : {"", "CAN"}) {
        PostLoadNetwork net;
        CANdbAttributeDef *bus_type =
            net.add_attribute_def(std::make_unique<CANdbAttributeDef>("BusType", CANdbAttrString, CANdbObjectNetwork));
        net.set_text(net.attributes, bus_type, text);
        net.can_fd = true;
        net.apply_can_fd_attributes();
        EXPECT_FALSE(net.can_fd) << text;
    }
}

TEST(CANdbNetwork, J1939PgnAttributeMakesEveryMessageJ1939)
{
    CANdbNetwork net;
    CANdbAttributeDef *pgn =
        net.add_attribute_def(std::make_unique<CANdbAttributeDef>("J1939PGN", CANdbAttrInt, CANdbObjectNetwork));
    net.attributes.append(std::make_unique<CANdbAttributeValue>(pgn))->int_value = 1;
    CANdbMessage *m = add_message(net, "Eec1", 0xF004, true);
    net.apply_j1939_attributes();
    EXPECT_TRUE(net.j1939_network);
    EXPECT_EQ(m->j1939_mode, CANdbJ1939Network);
    EXPECT_EQ(net.find_message_by_j1939_key(0xF004), m);
}

TEST(CANdbNetwork, SignSignalsAreResolvedByAttribute)
{
    CANdbNetwork net;
    CANdbAttributeDef *sign_def =
        net.add_attribute_def(std::make_unique<CANdbAttributeDef>("SignSignal", CANdbAttrString, CANdbObjectSignal));
    CANdbMessage *m = add_message(net, "Speed", 0x300);
    CANdbSignal *speed = add_signal(m, "Speed", 0, 7);
    speed->maximum = 120;
    CANdbSignal *sign = add_signal(m, "SpeedSign", 7, 1);
    CANdbSignal *dangling = add_signal(m, "Dangling", 8, 8);
    speed->attributes.append(std::make_unique<CANdbAttributeValue>(sign_def))->set_string("SpeedSign");
    dangling->attributes.append(std::make_unique<CANdbAttributeValue>(sign_def))->set_string("NoSuchSignal");

    net.resolve_sign_signals(m);
    EXPECT_EQ(speed->sign_signal, sign);
    EXPECT_EQ(speed->value_type, CANdbRawSigned);
    EXPECT_EQ(speed->value_kind, CANdbKindSigned);
    EXPECT_EQ(speed->minimum, -120.0);
    EXPECT_EQ(dangling->sign_signal, nullptr);
    EXPECT_EQ(dangling->value_type, CANdbRawUnsigned);

    Observer observer(net);
    const uint8_t data[] = {0x80 | 42};
    net.decode_frame(0x300, data, 1, nullptr);
    EXPECT_EQ(observer.decoded.values["Speed"], -42);
}

TEST(CANdbNetwork, ExtendedMultiplexingRecordsFollowTheirMultiplexor)
{
    CANdbNetwork net;
    CANdbMessage *m = add_message(net, "Ext", 0x400);
    auto owned_group = std::make_unique<CANdbMuxGroup>(&net);
    CANdbMuxGroup *group = owned_group.get();
    group->set_multiplexor_name("Selector");
    group->add_range(1, 3);
    group->add_range(7, 7);
    auto owned_dependent = std::make_unique<CANdbSignal>("Dependent");
    owned_dependent->set_mux_group(std::move(owned_group));
    EXPECT_EQ(net.mux_group_count, 1);

    CANdbSignal *selector = add_signal(m, "Selector", 0, 8);
    selector->is_multiplexor = true;
    CANdbSignal *dependent = m->insert_signal(std::move(owned_dependent));
    EXPECT_EQ(group->multiplexor, selector) << "bound by name when the signal joins the message";
    EXPECT_TRUE(selector->has_dependent(group));
    EXPECT_EQ(m->multiplexor(), selector);
    uint32_t low = 0, high = 0;
    EXPECT_EQ(group->range_count(), 2);
    EXPECT_TRUE(group->range_at(1, low, high));
    EXPECT_EQ(low, 7u);
    EXPECT_FALSE(group->range_at(2, low, high));

    // The multiplexor may go first: the record forgets it.
    m->signal_list.take(selector).reset();
    EXPECT_EQ(group->multiplexor, nullptr);
    dependent->set_mux_group(nullptr);
    EXPECT_EQ(net.mux_group_count, 0);

    // A multiplexor with its own record is no plain multiplexor.
    CANdbMessage *cascade = add_message(net, "Cascade", 0x401);
    CANdbSignal *inner = add_signal(cascade, "Inner", 0, 4);
    inner->is_multiplexor = true;
    inner->set_mux_group(std::make_unique<CANdbMuxGroup>(&net));
    CANdbSignal *outer = add_signal(cascade, "Outer", 4, 4);
    outer->is_multiplexor = true;
    EXPECT_EQ(cascade->multiplexor(), outer);
}

TEST(CANdbNetwork, NodesKnowTheirMessagesAndSignals)
{
    CANdbNetwork net;
    CANdbNode *engine = net.insert_node(std::make_unique<CANdbNode>("Engine"));
    CANdbNode *gateway = net.insert_node(std::make_unique<CANdbNode>("Gateway"));
    CANdbMessage *m = add_message(net, "Rpm", 0x100);
    CANdbSignal *s = add_signal(m, "Rpm", 0, 16);
    m->set_transmitter(engine);
    m->set_transmitter(engine);
    s->add_receiver(gateway);
    s->add_receiver(gateway);
    EXPECT_EQ(engine->transmitted.size(), 1u);
    EXPECT_EQ(gateway->received.size(), 1u);
    EXPECT_EQ(s->receivers.size(), 1u);
    m->set_transmitter(gateway);
    EXPECT_TRUE(engine->transmitted.empty());
    EXPECT_EQ(gateway->transmitted.front(), m);
    EXPECT_EQ(net.find_node("Gateway"), gateway);
    EXPECT_EQ(net.first_node(), engine);

    // A message dropped by a reader leaves no trace in the nodes.
    auto dropped = std::make_unique<CANdbMessage>("Dropped");
    dropped->set_transmitter(engine);
    CANdbSignal *ds = add_signal(dropped.get(), "D", 0, 1);
    ds->add_receiver(gateway);
    dropped.reset();
    EXPECT_TRUE(engine->transmitted.empty());
    EXPECT_EQ(gateway->received, std::vector<CANdbSignal *>{s});
}

TEST(CANdbNetwork, ValueTablesKeepTheFirstText)
{
    CANdbValueTable table("Gear");
    EXPECT_EQ(table.add_description(1, "First"), 0);
    EXPECT_EQ(table.add_description(1, "Other"), -1);
    EXPECT_EQ(table.add_description(2, nullptr), -1);
    EXPECT_STREQ(table.description(1), "First");
    EXPECT_EQ(table.description(2), nullptr);

    CANdbEnvVar var("Mode");
    EXPECT_EQ(var.add_value_description(0, "Off"), 0);
    EXPECT_EQ(var.add_value_description(0, "Again"), -1);
    EXPECT_STREQ(var.value_description(0), "Off");
}

TEST(CANdbNetwork, AttributeDefinitionsByType)
{
    CANdbAttributeDef def("Mode", CANdbAttrEnum, CANdbObjectMessage);
    EXPECT_EQ(def.add_enum_value("Off", 0), 0);
    EXPECT_EQ(def.add_enum_value("On", 1), 0);
    EXPECT_EQ(def.enum_index("On"), 1);
    EXPECT_STREQ(def.enum_name(0), "Off");
    EXPECT_EQ(def.enum_index("on"), -1);
    def.set_type(CANdbAttrInt);
    EXPECT_EQ(def.enum_name(0), nullptr);
    EXPECT_EQ(def.add_enum_value("X", 2), -1);

    CANdbAttributeValue value(&def);
    EXPECT_EQ(value.value_type, CANdbAttrInt);
    value.set_string("ignored");
    EXPECT_TRUE(value.string_value.empty());
}

class RecordingProvider : public CANdbDefaultMessageData {
public:
    int refreshes = 0;
    uint8_t bytes[8] = {};
    void data_changed() override {}
    uint8_t *default_data() override { return bytes; }
    void refresh() override { ++refreshes; }
};

TEST(CANdbNetwork, DefaultDataProvidersBindBothWays)
{
    auto owned_a = std::make_unique<CANdbMessage>("A");
    CANdbMessage *a = owned_a.get();
    CANdbMessage b("B");
    {
        RecordingProvider provider;
        provider.set_message(a);
        provider.set_message(a);
        EXPECT_EQ(provider.refreshes, 1);
        EXPECT_EQ(a->default_data, &provider);
        provider.set_message(&b);
        EXPECT_EQ(a->default_data, nullptr);
        EXPECT_EQ(b.default_data, &provider);
        provider.set_message(a);
        owned_a.reset(); // the message goes first
        EXPECT_EQ(provider.message, nullptr);
        provider.set_message(&b);
    }
    EXPECT_EQ(b.default_data, nullptr) << "the provider unbinds when it goes";
}

TEST(CANdbNetwork, MessageDataTableKeepsOneSendBufferPerIdentifier)
{
    CANdbMessage m("M");
    m.id = 0x123;
    CANdbMessageDataTable table(2048);
    CANdbMessageData *entry = table.find_or_add(0x123, 8);
    EXPECT_EQ(entry->id, 0x123);
    EXPECT_EQ(table.find(0x123), nullptr) << "an entry without its message never matches";
    EXPECT_EQ(table.find_or_add(0x123, 8), entry);
    entry->set_message(&m);
    EXPECT_EQ(table.find(0x123), entry);
    CANdbMessageData *other = table.find_or_add(0x123 + 2048, 8);
    EXPECT_NE(other, entry);
    EXPECT_EQ(table.entries().size(), 2u);

    const uint8_t bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    entry->set_data(bytes, 12);
    EXPECT_EQ(entry->length, 8);
    EXPECT_TRUE(entry->valid);
    EXPECT_EQ(entry->data()[7], 8);
    table.clear_all();
    EXPECT_FALSE(entry->valid);
    EXPECT_EQ(entry->length, 0);
    EXPECT_EQ(entry->data()[0], 0);
    table.clear();
    EXPECT_TRUE(table.entries().empty());
}

TEST(CANdbCluster, DecodesThroughEveryNetwork)
{
    CANdbCluster cluster;
    CANdbNetwork *first = cluster.add_network(std::make_unique<CANdbNetwork>());
    CANdbNetwork *second = cluster.add_network(std::make_unique<CANdbNetwork>());
    add_signal(add_message(*first, "A", 0x10), "a", 0, 8);
    add_message(*first, "B", 0x11);
    add_signal(add_message(*second, "C", 0x10), "c", 8, 8);
    Observer o1(*first), o2(*second);

    const uint8_t data[] = {1, 2};
    EXPECT_EQ(cluster.decode_frame(0x10, data, 2, nullptr), 2);
    EXPECT_EQ(o1.decoded.values["a"], 1);
    EXPECT_EQ(o2.decoded.values["c"], 2);
    EXPECT_EQ(cluster.find_message("C")->network, second);
    EXPECT_EQ(cluster.find_message_by_id(0x10)->name, "A");

    EXPECT_EQ(cluster.next_message(), nullptr) << "no cursor before first_message";
    std::vector<std::string> names;
    for (CANdbMessage *m = cluster.first_message(); m; m = cluster.next_message())
        names.push_back(m->name);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C"}));
    cluster.clear();
    EXPECT_EQ(cluster.first_message(), nullptr);
}

} // namespace
