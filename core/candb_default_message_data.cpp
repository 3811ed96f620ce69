#include "core/candb_default_message_data.h"

#include "core/candb_message.h"

CANdbDefaultMessageData::~CANdbDefaultMessageData()
{
    if (message && message->default_data == this)
        message->default_data = nullptr;
}

void CANdbDefaultMessageData::set_message(CANdbMessage *new_message)
{
    if (new_message == message)
        return;
    if (message && message->default_data == this)
        message->default_data = nullptr;
    message = new_message;
    if (message)
        message->default_data = this;
    refresh();
}
