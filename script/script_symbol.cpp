#include "script/script_symbol.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

void append_format(std::string &out, const char *format, ...) __attribute__((format(printf, 2, 3)));

void append_format(std::string &out, const char *format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    out += buffer;
}

} // namespace

void ScriptName::set(const char *text, bool copy)
{
    // The copy is made before the earlier name is freed, as the new text may
    // be that name itself.
    std::unique_ptr<char[]> copied;
    if (copy && text) {
        const size_t n = std::strlen(text) + 1;
        copied.reset(new char[n]);
        std::memcpy(copied.get(), text, n);
        text = copied.get();
    }
    owned_ = std::move(copied);
    text_ = text;
}

void ScriptSymbol::print(std::string &out) const
{
    out += " *** printf undefined *** ";
}

int script_element_size(uint32_t type, const ScriptStructType *struct_type)
{
    switch (type) {
    case TYPE_DOUBLE: return 8;
    case TYPE_INT: return 4;
    case TYPE_CHAR: return 1;
    case TYPE_BYTE: return 1;
    case TYPE_STRING: return 4;
    case TYPE_STRUCT: return struct_type ? struct_type->size : 0;
    default: return 0;
    }
}

int ScriptVariable::element_size() const
{
    return script_element_size(type, struct_type);
}

int ScriptVariable::size() const
{
    return reference ? 4 : storage_size();
}

int ScriptVariable::storage_size() const
{
    int n = element_size();
    if (dim1 >= 1)
        n *= dim1;
    if (dim2 >= 1)
        n *= dim2;
    return n;
}

void ScriptVariable::print(std::string &out) const
{
    if (reference)
        out += "&";
    switch (type) {
    case TYPE_INT: out += "int"; break;
    case TYPE_CHAR: out += "char"; break;
    case TYPE_BYTE: out += "byte"; break;
    case TYPE_DOUBLE: out += "double"; break;
    case TYPE_STRING: out += "string"; break;
    case TYPE_STRUCT:
        if (struct_type) {
            append_format(out, "struct {%s}", struct_type->name() ? struct_type->name() : "");
            break;
        }
        out += "undef";
        break;
    default: out += "undef"; break;
    }
    if (dim1 > 0)
        append_format(out, "[%d]", dim1);
    if (dim2 > 0)
        append_format(out, "[%d]", dim2);
    if (tag != 0)
        append_format(out, " <%u>", tag);
    append_format(out, " / @0x%04x, size=%d", address, size());
}

void ScriptConstant::set_int(int32_t value)
{
    type = TYPE_INT;
    int_value = value;
}

void ScriptConstant::set_double(double value)
{
    type = TYPE_DOUBLE;
    double_value = value;
}

void ScriptConstant::print(std::string &out) const
{
    if (type == TYPE_DOUBLE)
        append_format(out, "double=%f", double_value);
    else
        append_format(out, "int=%d", int_value);
}

void ScriptFunction::set_param_count(int n)
{
    params_.clear();
    params_.resize(n > 0 ? n : 0);
}

const ScriptFunction::Param *ScriptFunction::param(int i) const
{
    return i >= 0 && i < param_count() ? &params_[i] : nullptr;
}

ScriptFunction::Param *ScriptFunction::param(int i)
{
    return i >= 0 && i < param_count() ? &params_[i] : nullptr;
}

void ScriptFunction::set_param_type(int i, uint32_t type)
{
    if (Param *p = param(i))
        p->type = type;
}

void ScriptFunction::set_param_reference(int i, bool reference)
{
    if (Param *p = param(i))
        p->reference = reference;
}

void ScriptFunction::set_param_array(int i, bool array)
{
    if (Param *p = param(i))
        p->array = array;
}

void ScriptFunction::set_param_struct_type(int i, ScriptStructType *struct_type)
{
    if (Param *p = param(i))
        p->struct_type = struct_type;
}

void ScriptFunction::set_param_name(int i, const char *name, bool copy)
{
    if (Param *p = param(i))
        p->name.set(name, copy);
}

uint32_t ScriptFunction::param_type(int i) const
{
    const Param *p = param(i);
    return p ? p->type : TYPE_UNDEFINED;
}

bool ScriptFunction::param_reference(int i) const
{
    const Param *p = param(i);
    return p && p->reference;
}

bool ScriptFunction::param_array(int i) const
{
    const Param *p = param(i);
    return p && p->array;
}

ScriptStructType *ScriptFunction::param_struct_type(int i) const
{
    const Param *p = param(i);
    return p ? p->struct_type : nullptr;
}

const char *ScriptFunction::param_name(int i) const
{
    const Param *p = param(i);
    return p ? p->name.get() : nullptr;
}

int ScriptFunction::find_param(const char *name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < param_count(); ++i) {
        const char *own = params_[i].name.get();
        if (own && std::strcmp(own, name) == 0)
            return i;
    }
    return -1;
}

void ScriptFunction::print(std::string &out) const
{
    out += "(";
    const int n = param_count();
    for (int i = 0; i < n; ++i) {
        const Param &p = params_[i];
        if (p.type == TYPE_STRUCT && p.struct_type)
            append_format(out, "struct {%s}", p.struct_type->name() ? p.struct_type->name() : "");
        else
            out += "undef ";
        out += p.reference ? "& " : " ";
        out += p.array ? "[] " : " ";
        out += p.name.get() ? p.name.get() : "";
        if (i + 1 < n)
            out += ",";
    }
    if (variadic)
        out += n > 0 ? ", ...)" : "...)";
    else
        out += ")";
    out += " -> ";
    switch (result_type) {
    case TYPE_INT: out += "int"; break;
    case TYPE_DOUBLE: out += "double"; break;
    case TYPE_STRING: out += "string"; break;
    case TYPE_VOID: out += "void"; break;
    default: out += "undef"; break;
    }
    append_format(out, " @%d", static_cast<int>(index));
}

ScriptVariable *ScriptStructType::find_member(const char *name) const
{
    if (!name)
        return nullptr;
    const auto found = by_name_.find(name);
    return found != by_name_.end() ? found->second : nullptr;
}

ScriptVariable *ScriptStructType::member_at(int i) const
{
    return i >= 0 && i < member_count() ? members_[i].get() : nullptr;
}

ScriptVariable *ScriptStructType::new_member(const char *name)
{
    if (!name || find_member(name))
        return nullptr;
    members_.push_back(std::make_unique<ScriptVariable>());
    ScriptVariable *member = members_.back().get();
    member->set_name(name, true);
    member->level = level;
    by_name_.emplace(member->name(), member);
    return member;
}

int ScriptStructType::add_member(const char *name, uint32_t type, int dimension)
{
    ScriptVariable *member = new_member(name);
    if (!member)
        return -1;
    member->type = type;
    member->dim1 = dimension > 0 ? dimension : 0;
    member->address = static_cast<uint32_t>(size);
    size += member->size();
    return 0;
}

int ScriptStructType::add_struct_member(const char *name, ScriptStructType *type, int dimension)
{
    ScriptVariable *member = new_member(name);
    if (!member)
        return -1;
    member->type = TYPE_STRUCT;
    member->struct_type = type;
    member->dim1 = dimension > 0 ? dimension : 0;
    member->address = static_cast<uint32_t>(size);
    size += member->size();
    return 0;
}

int ScriptStructType::add_tagged_member(const char *name, uint32_t type, uint32_t tag)
{
    ScriptVariable *member = new_member(name);
    if (!member)
        return -1;
    member->type = type;
    member->tag = tag;
    member->address = 0;
    return 0;
}

int ScriptStructType::add_tagged_struct_member(const char *name, ScriptStructType *type, uint32_t tag)
{
    ScriptVariable *member = new_member(name);
    if (!member)
        return -1;
    member->type = TYPE_STRUCT;
    member->struct_type = type;
    member->tag = tag;
    member->address = static_cast<uint32_t>(size);
    return 0;
}

int ScriptStructType::add_alias_member(const char *name)
{
    const ScriptVariable *original = find_member("timestamp");
    if (!original)
        return -1;
    ScriptVariable *alias = new_member(name);
    if (!alias)
        return -1;
    alias->address = original->address;
    alias->level = original->level;
    alias->dim1 = original->dim1;
    alias->dim2 = original->dim2;
    alias->tag = original->tag;
    alias->struct_type = original->struct_type;
    alias->type = original->dim1 >= 1 ? TYPE_ARRAY : original->type;
    return 0;
}

void ScriptStructType::print(std::string &out) const
{
    append_format(out, "struct: (size=%d)", size);
    if (tag != 0)
        append_format(out, " <%u>", tag);
    out += "\n";
    for (const auto &member : members_) {
        out += "\t";
        out += member->name();
        out += ": ";
        member->print(out);
        out += ";\n";
    }
}
