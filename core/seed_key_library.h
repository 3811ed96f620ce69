#pragma once
// A security-access library chosen by the user: it computes the key that an
// ECU expects for its seed. The diagnostics code supplies the loader; an
// interface owns the library its script loaded and deletes it in stop().
#include <cstdint>

class SeedKeyLibrary
{
public:
    virtual ~SeedKeyLibrary() = default;
    // False when the library could not be loaded or lacks its key function.
    virtual bool is_loaded() const = 0;
    // Runs the library's key function and answers its result unchanged;
    // *key_length (when given) receives the length of the key written.
    virtual int compute_key(const uint8_t *seed, uint32_t seed_length, uint8_t *key, uint32_t key_size,
                            uint16_t *key_length) = 0;
};
