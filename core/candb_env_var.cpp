#include "core/candb_env_var.h"

CANdbEnvVar::CANdbEnvVar(const char *var_name)
{
    if (var_name)
        name = var_name;
}

const char *CANdbEnvVar::value_description(int32_t value) const
{
    const CANdbValueDescription *d = values.find(value);
    return d ? d->text.c_str() : nullptr;
}

int CANdbEnvVar::add_value_description(int32_t value, const char *text)
{
    return values.append_unique(value, text);
}

void CANdbEnvVar::add_access_node(CANdbNode *node)
{
    if (!node)
        return;
    access_nodes.push_back(node);
}
