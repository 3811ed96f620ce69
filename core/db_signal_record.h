#pragma once
// A signal bound to a signal of the network database: scaling and value texts
// come from the database signal.
#include "core/signal_record.h"

class CANdbSignal;

class DbSignalRecord : public SignalRecord
{
public:
    explicit DbSignalRecord(CANdbSignal *db_signal = nullptr);
    ~DbSignalRecord() override;

    // Binds the database signal (not owned; null unbinds) and sets the
    // HasValueDescriptions flag exactly when it has value descriptions.
    void set_db_signal(CANdbSignal *db_signal);
    CANdbSignal *db_signal() const { return m_db_signal; }

    // The database signal's factor and offset; 1.0 and 0.0 when unbound.
    double factor() const override;
    double offset() const override;
    // Database signals have no description node.
    DescriptionNode *description_ref() const override;
    // While DefinedByCompile is set: the database signal's value description
    // for the value, else null.
    const char *value_text(int value) const override;

private:
    CANdbSignal *m_db_signal = nullptr;
};
