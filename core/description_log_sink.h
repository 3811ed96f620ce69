#pragma once
// Where the description importers and the link pass report: the diagnostics
// interface implements it on its message window; tests record the texts.
#include <cstdint>

class DescriptionLogSink
{
public:
    virtual ~DescriptionLogSink() = default;
    virtual void set_level(int32_t level) { m_level = level; }
    virtual int32_t level() const { return m_level; }
    virtual void debug(const char *format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void info(const char *format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void warning(const char *format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void error(const char *format, ...) __attribute__((format(printf, 2, 3))) = 0;

private:
    int32_t m_level = 0;
};
