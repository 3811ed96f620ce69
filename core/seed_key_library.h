#pragma once
// A security-access library chosen by the user: a shared object whose entry
// "ASAP1A_CCP_ComputeKeyFromSeed" computes the key that an ECU expects for its
// seed. An interface owns the library its script loaded and deletes it in
// stop(); the diagnostics masters use one the same way.
#include <QLibrary>
#include <QString>

#include <cstdint>

class VyrSignalIf;

class SeedKeyLibrary
{
public:
    // The entry's contract: seed, seed length, key buffer, key buffer size,
    // key length out (set to 0 by the caller first); the result is the
    // library's own and passed on unchanged.
    using ComputeKey = int32_t (*)(const uint8_t *seed, uint32_t seed_length, uint8_t *key, uint32_t key_size,
                                   uint16_t *key_length);

    // Loads the library; failures go to the owner's log (owner may be null).
    SeedKeyLibrary(VyrSignalIf *owner, const QString &path);
    virtual ~SeedKeyLibrary();
    SeedKeyLibrary(const SeedKeyLibrary &) = delete;
    SeedKeyLibrary &operator=(const SeedKeyLibrary &) = delete;

    // Runs the key entry and answers its result; -1 without the entry (the key
    // length is then left alone). With an owner the seed, the key and the
    // result go to its log.
    virtual int compute_key(const uint8_t *seed, uint32_t seed_length, uint8_t *key, uint32_t key_size,
                            uint16_t *key_length);
    // True when the library is loaded and has the key entry.
    virtual bool is_loaded() const { return m_compute != nullptr; }

private:
    VyrSignalIf *m_owner;
    QLibrary m_library;
    ComputeKey m_compute = nullptr;
};
