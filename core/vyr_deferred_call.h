#pragma once
// A call handed to an interface's realtime thread from any thread
// (VyrSignalIf::post_deferred_call); the thread runs it when it serves its
// wake-up event.
#include "core/intrusive_list.h"

#include <atomic>
#include <cstdint>

class VyrDeferredCall
{
public:
    using Callback = void (*)(VyrDeferredCall *call);

    VyrDeferredCall(Callback callback, void *context, uint32_t word1 = 0, uint32_t word2 = 0)
        : m_callback(callback), m_context(context), m_word1(word1), m_word2(word2)
    {
    }
    VyrDeferredCall(const VyrDeferredCall &) = delete;
    VyrDeferredCall &operator=(const VyrDeferredCall &) = delete;

    void *context() const { return m_context; }
    uint32_t word1() const { return m_word1; }
    uint32_t word2() const { return m_word2; }
    // Set from posting until the call ran or was removed.
    bool pending() const { return m_pending; }
    bool queued() const { return m_queued; }

    void run() { m_callback(this); }

private:
    friend class VyrSignalIf; // the deferred list links its calls under its mutex
    Callback m_callback;
    void *m_context;
    uint32_t m_word1;
    uint32_t m_word2;
    // Written under the deferred list's mutex, read by the call's owner.
    std::atomic<bool> m_pending{false};
    std::atomic<bool> m_queued{false};
    IntrusiveLink<VyrDeferredCall> m_link;
};
