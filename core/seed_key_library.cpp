#include "core/seed_key_library.h"

#include "core/vyr_signal_if.h"
#include "settings/text_util.h"

#include <string>

SeedKeyLibrary::SeedKeyLibrary(VyrSignalIf *owner, const QString &path) : m_owner(owner), m_library(path)
{
    if (!m_library.load()) {
        if (m_owner)
            m_owner->error_printf("Diag: Unable to load DLL '%s'\n", path.toLocal8Bit().constData());
        return;
    }
    m_compute = reinterpret_cast<ComputeKey>(m_library.resolve("ASAP1A_CCP_ComputeKeyFromSeed"));
    if (!m_compute && m_owner)
        m_owner->error_printf("Diag: Unable to resolve function 'ASAP1A_CCP_ComputeKeyFromSeed'\n");
}

SeedKeyLibrary::~SeedKeyLibrary()
{
    if (m_library.isLoaded())
        m_library.unload();
}

static std::string hex_bytes(const uint8_t *bytes, uint32_t count)
{
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0)
            text += ' ';
        text += hex_string(bytes[i], 2);
    }
    return text;
}

int SeedKeyLibrary::compute_key(const uint8_t *seed, uint32_t seed_length, uint8_t *key, uint32_t key_size,
                                uint16_t *key_length)
{
    if (!m_compute)
        return -1;
    uint16_t length = 0;
    const int32_t result = m_compute(seed, seed_length, key, key_size, &length);
    if (m_owner) {
        // A library that claims more than the buffer holds is shown up to the buffer's end.
        m_owner->message("Seed: " + hex_bytes(seed, seed_length));
        m_owner->message("Key:  " + hex_bytes(key, length < key_size ? length : key_size));
        m_owner->message("Result: " + std::to_string(result));
    }
    if (key_length)
        *key_length = length;
    return result;
}
