#pragma once
// The base of the description-file importers (ODX, A2L): the file name, the
// sink its messages go to, and the read into a workspace.
#include <string>

class DescriptionLogSink;
class DescriptionNode;
class DescriptionWorkspace;

class DescriptionImporter
{
public:
    // The name is copied; null keeps none.
    explicit DescriptionImporter(const char *file_name);
    virtual ~DescriptionImporter();
    DescriptionImporter(const DescriptionImporter &) = delete;
    DescriptionImporter &operator=(const DescriptionImporter &) = delete;

    // Formats at most 500 characters and hands them to the sink's info as a
    // finished text; without a sink prints "-: " and the text.
    virtual void message(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // "ODX2", "ASAP2", ...
    virtual const char *format_name() const = 0;
    // Reads the file into the workspace; 0 on success.
    virtual int read(DescriptionWorkspace *workspace) = 0;

    const char *file_name() const { return m_has_file_name ? m_file_name.c_str() : nullptr; }
    // The caller keeps the sink.
    void set_sink(DescriptionLogSink *sink) { m_sink = sink; }
    DescriptionLogSink *sink() const { return m_sink; }
    // A node the importer holds with one reference until it goes.
    void hold_node(DescriptionNode *node);
    DescriptionNode *held_node() const { return m_held_node; }

protected:
    bool m_flags[2] = {false, false};

private:
    std::string m_file_name;
    bool m_has_file_name;
    DescriptionLogSink *m_sink = nullptr;
    DescriptionNode *m_held_node = nullptr;
};
