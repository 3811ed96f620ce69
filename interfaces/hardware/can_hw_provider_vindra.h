#pragma once
// The provider of the Vindra CAN cards and of the virtual CAN bus vrbus, on
// the driver access layer. At program start it installs the virtual bus when
// none answers and a vrbus file stands in the program directory.
#include "interfaces/hardware/can_hw_provider.h"

#include <QString>

class CANhwProviderVindra : public CANhwProvider
{
public:
    CANhwProviderVindra();
    ~CANhwProviderVindra() override;

    int initialize_driver() override;
    int uninitialize_driver() override;
    int enumerate_channels() override;
    std::unique_ptr<CANhwChannel> create_channel(const CANhwChannelInfo &info) override;

    // The name of the card model of a card type, null for types without a model.
    static const char *card_model_name(int card_type);
    // The directory in which the provider looks for vrbus: the program's own
    // unless set (tests point it at the build's program folder).
    void set_program_directory(const QString &directory) { program_directory_ = directory; }

private:
    bool driver_installation_done_ = false; // once per program run
    QString program_directory_;
};
