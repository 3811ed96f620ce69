#include "description/description_importer.h"

#include "core/description_log_sink.h"
#include "core/description_node.h"

#include <cstdarg>
#include <cstdio>

DescriptionImporter::DescriptionImporter(const char *file_name)
    : m_file_name(file_name ? file_name : ""), m_has_file_name(file_name != nullptr)
{
}

DescriptionImporter::~DescriptionImporter()
{
    DescriptionNode::release(m_held_node);
}

void DescriptionImporter::message(const char *format, ...)
{
    char text[501];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (m_sink)
        m_sink->info("%s", text);
    else
        std::printf("-: %s", text);
}

void DescriptionImporter::hold_node(DescriptionNode *node)
{
    if (node)
        node->add_ref();
    DescriptionNode::release(m_held_node);
    m_held_node = node;
}
