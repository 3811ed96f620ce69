#include "core/candb_node.h"

CANdbNode::CANdbNode(const char *node_name)
{
    if (node_name)
        name = node_name;
}
