#include "core/candb_file_format.h"

#include "core/candb_file_io.h"

namespace {

// Extensions compare without regard to ASCII case, whatever the locale.
bool equal_ignoring_case(const char *a, const char *b)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    for (; *a && *b; ++a, ++b)
        if (lower(static_cast<unsigned char>(*a)) != lower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// Constant-initialised before any static constructor registers a row.
CANdbFileFormat *registry_head = nullptr;
CANdbFileFormat *registry_tail = nullptr;

} // namespace

CANdbFileFormat::CANdbFileFormat(const char *name, const char *description, const char *long_description,
                                 const char *extension, int flags, Factory factory)
    : name_(name ? name : ""), factory_(factory), flags_(flags)
{
    has_extension_ = extension != nullptr;
    extension_ = extension ? extension : "";
    has_description_ = description != nullptr;
    description_ = description ? description : "";
    has_long_description_ = long_description != nullptr;
    long_description_ = long_description ? long_description : "";
    register_format(this);
}

void CANdbFileFormat::register_format(CANdbFileFormat *format)
{
    format->next_ = nullptr;
    if (registry_tail)
        registry_tail->next_ = format;
    else
        registry_head = format;
    registry_tail = format;
}

const CANdbFileFormat *CANdbFileFormat::first()
{
    return registry_head;
}

const CANdbFileFormat *CANdbFileFormat::find_by_extension(const char *extension)
{
    if (!extension)
        return nullptr;
    for (const CANdbFileFormat *f = registry_head; f; f = f->next_)
        if (f->has_extension_ && equal_ignoring_case(f->extension_.c_str(), extension))
            return f;
    return nullptr;
}

const CANdbFileFormat *CANdbFileFormat::find_by_name(const char *name)
{
    if (!name)
        return nullptr;
    for (const CANdbFileFormat *f = registry_head; f; f = f->next_)
        if (f->name_ == name)
            return f;
    return nullptr;
}

std::unique_ptr<CANdbFileIo> CANdbFileFormat::create_io(const char *name)
{
    const CANdbFileFormat *format = find_by_name(name);
    if (!format || !format->factory_)
        return nullptr;
    std::unique_ptr<CANdbFileIo> io(format->factory_());
    if (io)
        io->format_ = format;
    return io;
}
