#include "core/lin_encoding_type.h"

LinEncodingType::LinEncodingType(const char *type_name)
{
    if (type_name)
        name = type_name;
}

int LinEncodingType::add_logical_value(int32_t value, const char *text)
{
    return logical_values.append(value, text);
}

void LinEncodingType::add_physical_range(int32_t minimum, int32_t maximum, double scale, double offset)
{
    physical_ranges.push_back({minimum, maximum, scale, offset});
}
