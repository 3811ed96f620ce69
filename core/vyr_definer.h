#pragma once
// The identity under which an interface defines environment variables (its
// script is "script", a plug-in library "dll"), and the output queue through
// which work is handed to the interface's realtime thread.
#include <string>

class ScriptTrigger;

// Receives script triggers to run in the owner's realtime thread. Interfaces
// implement it with their output queue; callable from any thread.
class VyrOutputSink
{
public:
    virtual ~VyrOutputSink() = default;
    virtual void post_output(ScriptTrigger *item) = 0;
};

// Environment variables list their definers by address, so a definer is
// neither copied nor moved.
class VyrDefiner
{
public:
    VyrDefiner(std::string identity, VyrOutputSink *owner) : m_identity(std::move(identity)), m_owner(owner) {}
    VyrDefiner(const VyrDefiner &) = delete;
    VyrDefiner &operator=(const VyrDefiner &) = delete;

    const std::string &identity() const { return m_identity; }
    VyrOutputSink *owner() const { return m_owner; }

private:
    std::string m_identity;
    VyrOutputSink *m_owner;
};
