#include "script/script_source.h"

int ScriptStringSource::get_char()
{
    if (!readable_ || position_ >= text_.size())
        return kEnd;
    return static_cast<unsigned char>(text_[position_++]);
}

void ScriptStringSource::unget_char(int)
{
    if (readable_ && position_ > 0)
        --position_;
}

void ScriptStringSource::set_text(const char *text)
{
    text_.clear();
    position_ = 0;
    readable_ = text != nullptr;
    if (text)
        text_ = text;
}

void ScriptStringSource::append_text(const char *text)
{
    if (!text)
        return;
    text_ += text;
    readable_ = true;
}
