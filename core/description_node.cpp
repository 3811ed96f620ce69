#include "core/description_node.h"

#include <atomic>
#include <cstring>

namespace {
std::atomic<DescriptionNode *> fibex_database{nullptr};
}

bool is_fibex_url(const char *path)
{
    const char *prefix = fibex_url_prefix();
    return path && std::strncmp(path, prefix, std::strlen(prefix)) == 0;
}

const char *fibex_url_prefix()
{
    return "fibex://";
}

DescriptionNode *get_fibex_database()
{
    return fibex_database.load();
}

void set_fibex_database(DescriptionNode *root)
{
    fibex_database.store(root);
}
