#pragma once
// What the signal records need of the description model that the FIBEX, ODX
// and A2L readers build: a node that may refer to another node, and the FIBEX
// description loaded for the whole program. The readers supply the nodes.
#include <string>

class DescriptionNode
{
public:
    virtual ~DescriptionNode() = default;

    // The node's first data word taken as a node: for a controller entry (and
    // for a signal's description) the node it refers to; null when the
    // reference is missing.
    virtual DescriptionNode *data_word0() const = 0;
};

// True when the path begins with fibex_url_prefix() ("fibex://"); false for null.
bool is_fibex_url(const char *path);
const char *fibex_url_prefix();

// The FIBEX description root loaded for the whole program, or null when none is
// loaded. The FIBEX reader sets it when it loads a description and clears it
// before that description goes.
DescriptionNode *get_fibex_database();
void set_fibex_database(DescriptionNode *root);
