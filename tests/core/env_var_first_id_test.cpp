#include "core/env_var_record.h"

#include <gtest/gtest.h>

// Ids count over the whole program run, so this check needs a process of its own.
TEST(EnvVarIdTest, FirstVariableOfARunHasIdOneAndIdsCountUp)
{
    EnvVarRecord first(EnvVarRecord::Int, "first", nullptr);
    EXPECT_EQ(first.id(), 1);
    {
        EnvVarRecord second(EnvVarRecord::Int, "second", nullptr);
        EXPECT_EQ(second.id(), 2);
    }
    EnvVarRecord third(EnvVarRecord::Int, "third", nullptr);
    EXPECT_EQ(third.id(), 3); // the id of a deleted variable is not taken again
}
