#include "interfaces/hardware/can_hw_provider_vindra.h"

#include "core/path_util.h"
#include "settings/debug_trace.h"
#include "core/vyr_os_version.h"
#include "interfaces/hardware/buslib.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "interfaces/hardware/can_hw_channel_vindra.h"
#include "interfaces/hardware/canio_driver.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace {

struct CardModel
{
    int card_type;
    const char *name;
};

// The maker's card models; 84 is the hybrid CAN/LIN card.
const CardModel card_models[] = {
    {48, "VindraPCI"},      {50, "VindraPCI2"},     {52, "VindraPCIe"},        {54, "VindraPCIe2"},
    {56, "VindraPCIe4"},    {58, "VindraUSB"},      {60, "VindraUSB2"},        {62, "VindraUSBpro"},
    {64, "VindraMiniPCI"},  {70, "VindraPC104"},    {72, "VindraPC104x"},      {74, "VindraExpressCard"},
    {76, "VindraM2"},       {78, "VindraEthernet"}, {80, "VindraWireless"},    {82, "VindraLogger"},
    {84, "VindraHybrid"},
};

// The devices of the maker's other virtual drivers, which make installing vrbus unnecessary.
const char *const running_virtual_devices[] = {"ybusv0a", "vrbsv0a"};

int channel_data_u32(int channel, int item, int32_t *value)
{
    uint32_t word = 0;
    const int result = buslibGetChannelData(channel, item, &word, sizeof word);
    if (result == buslibOK)
        *value = int32_t(word);
    return result;
}

} // namespace

CANhwProviderVindra::CANhwProviderVindra() : CANhwProvider("Vindra", "Vindra CAN Hardware")
{
    link_into_list();
}

CANhwProviderVindra::~CANhwProviderVindra()
{
    unlink_from_list();
}

const char *CANhwProviderVindra::card_model_name(int card_type)
{
    for (const CardModel &model : card_models)
        if (model.card_type == card_type)
            return model.name;
    return nullptr;
}

int CANhwProviderVindra::initialize_driver()
{
    if (!driver_installation_done_) {
        driver_installation_done_ = true;
        bool running = false;
        for (const char *device : running_virtual_devices)
            running = running || canio_is_can_driver_running(device, "Virtual");
        if (vyr_os_version().nt_family && !running) {
            const QString directory = program_directory_.isEmpty() ? application_dir_path() : program_directory_;
            const QString path = QDir(directory).filePath(QStringLiteral("vrbus"));
            // A missing file or a failed installation is not reported: the
            // channel list then holds only the cards present.
            if (QFileInfo::exists(path)) {
                const int loaded = canio_load_demo_driver(path.toLocal8Bit().constData(), "vrbus");
                debug_trace("CANhwProviderVindra::initialize_driver: canio_load_demo_driver() -> %d", loaded);
            }
        }
    }
    return buslibInitialize();
}

int CANhwProviderVindra::uninitialize_driver()
{
    if (vyr_os_version().nt_family)
        return canio_unload_demo_driver();
    return 0;
}

int CANhwProviderVindra::enumerate_channels()
{
    // The list is made at every measurement start: a virtual bus whose
    // daemon died meanwhile is there again for it.
    if (vyr_os_version().nt_family)
        canio_restart_lost_demo_driver();
    buslibEnumerateHardware();
    const int count = buslibChannelCount();
    for (int i = 0; i < count; ++i) {
        char display_name[64] = {};
        if (buslibGetChannelData(i, buslib_item::display_name, display_name, sizeof display_name) != buslibOK)
            continue;
        int32_t card_type = 0;
        if (channel_data_u32(i, buslib_item::card_type, &card_type) != buslibOK)
            card_type = 0;
        const char *model = card_model_name(card_type);
        std::string card_name = model ? model : display_name;
        card_name = card_name.substr(0, card_name.find(' '));
        int32_t card_number = -1;
        int32_t channel_on_card = 0;
        if (channel_data_u32(i, buslib_item::card_index, &card_number) != buslibOK)
            card_number = -1;
        if (channel_data_u32(i, buslib_item::channel_on_card, &channel_on_card) != buslibOK)
            card_number = -1;
        int32_t transceiver = 0;
        if (channel_data_u32(i, buslib_item::transceiver_type, &transceiver) != buslibOK)
            transceiver = 0;
        char user_name[65] = {};
        if (buslibGetChannelData(i, buslib_item::user_channel_name, user_name, sizeof user_name) != buslibOK)
            user_name[0] = '\0';

        auto *info = new CANhwChannelInfo(display_name, card_name, user_name, this, card_number, i,
                                          channel_on_card + 1, card_type, transceiver);
        uint32_t serial[2] = {};
        if (buslibGetChannelData(i, buslib_item::serial_number, serial, sizeof serial) == buslibOK)
            info->set_serial_number(serial[0]);
        CANhwChannelInfoList::global().append(info);
    }
    return 0;
}

std::unique_ptr<CANhwChannel> CANhwProviderVindra::create_channel(const CANhwChannelInfo &info)
{
    uint32_t capability = 0;
    buslibChannelCapability(info.channel_index(), &capability);
    return std::make_unique<CANhwChannelVindra>(info.channel_index(), capability);
}
