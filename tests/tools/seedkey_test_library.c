/* A security-access library for the tests: the key is the seed with every
 * byte XORed with 0x5A; a key buffer smaller than the seed answers 2. */
#include <stdint.h>

int32_t ASAP1A_CCP_ComputeKeyFromSeed(const uint8_t *seed, uint32_t seed_length, uint8_t *key, uint32_t key_size,
                                      uint16_t *key_length)
{
    if (key_size < seed_length)
        return 2;
    for (uint32_t i = 0; i < seed_length; ++i)
        key[i] = seed[i] ^ 0x5A;
    *key_length = (uint16_t)seed_length;
    return 0;
}
