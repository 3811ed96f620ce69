// The registered kinds of trigger condition data, in their fixed order.
#include "core/vyr_trigger_cond_can.h"
#include "core/vyr_trigger_cond_key.h"
#include "core/vyr_trigger_cond_signal.h"
#include "core/vyr_trigger_cond_timer.h"

#include <QtGlobal>

namespace {

template <class Data> std::unique_ptr<VyrTriggerCondData> create_data()
{
    return std::unique_ptr<VyrTriggerCondData>(new Data);
}

const VyrTriggerCondKind can_kind(VyrTriggerCondDataCan::kind_number, "TriggerCondCan",
                                  QT_TRANSLATE_NOOP("VyrTriggerCondKind", "On CAN Message"),
                                  create_data<VyrTriggerCondDataCan>);
const VyrTriggerCondKind key_kind(VyrTriggerCondDataKey::kind_number, "TriggerCondKey",
                                  QT_TRANSLATE_NOOP("VyrTriggerCondKind", "On Key"), create_data<VyrTriggerCondDataKey>);
const VyrTriggerCondKind signal_kind(VyrTriggerCondDataSignal::kind_number, "TriggerCondSignal",
                                     QT_TRANSLATE_NOOP("VyrTriggerCondKind", "On Signal"),
                                     create_data<VyrTriggerCondDataSignal>);
const VyrTriggerCondKind timer_kind(VyrTriggerCondDataTimer::kind_number, "TriggerCondTimer",
                                    QT_TRANSLATE_NOOP("VyrTriggerCondKind", "On Timer"),
                                    create_data<VyrTriggerCondDataTimer>);

} // namespace
