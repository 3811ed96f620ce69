#include "core/db_signal_record.h"

#include "core/candb_signal.h"

DbSignalRecord::DbSignalRecord(CANdbSignal *db_signal)
{
    set_db_signal(db_signal);
}

DbSignalRecord::~DbSignalRecord()
{
    set_db_signal(nullptr);
}

void DbSignalRecord::set_db_signal(CANdbSignal *db_signal)
{
    m_db_signal = db_signal;
    if (db_signal && !db_signal->value_table.descriptions.empty())
        add_flags(HasValueDescriptions);
    else
        remove_flags(HasValueDescriptions);
}

double DbSignalRecord::factor() const
{
    return m_db_signal ? m_db_signal->factor : 1.0;
}

double DbSignalRecord::offset() const
{
    return m_db_signal ? m_db_signal->offset : 0.0;
}

DescriptionNode *DbSignalRecord::description_ref() const
{
    return nullptr;
}

const char *DbSignalRecord::value_text(int value) const
{
    if (!m_db_signal || !has_flag(DefinedByCompile))
        return nullptr;
    return m_db_signal->value_description(value);
}
