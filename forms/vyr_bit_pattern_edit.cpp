#include "forms/vyr_bit_pattern_edit.h"

VyrBitPatternValidator::VyrBitPatternValidator(bool extended_id, QObject *parent)
    : QValidator(parent), m_length(extended_id ? extended_length : standard_length)
{}

QValidator::State VyrBitPatternValidator::validate(QString &text, int &position) const
{
    if (text.length() < m_length)
        return Invalid;
    if (text.length() > m_length) {
        text.remove(position, text.length() - m_length);
        if (text.length() > m_length)
            text.truncate(m_length);
    }
    // The first group is short (3 bits, or 1 of an extended identifier), then
    // groups of 4, one blank between groups.
    int group_end = m_length == extended_length ? 1 : 3;
    for (int i = 0; i < m_length; ++i) {
        const QChar c = text.at(i);
        if (i == group_end) {
            if (c != QLatin1Char(' '))
                return Invalid;
            group_end += 5;
            continue;
        }
        if (c.unicode() > 255)
            return Invalid;
        const char bit = char(c.unicode());
        if (bit != '0' && bit != '1' && bit != 'x' && bit != 'X')
            return Invalid;
    }
    if (position < text.length() && text.at(position) == QLatin1Char(' '))
        ++position;
    return Acceptable;
}

VyrBitPatternEdit::VyrBitPatternEdit(QWidget *parent, bool extended_id) : QLineEdit(parent)
{
    set_extended_id(extended_id);
}

void VyrBitPatternEdit::set_extended_id(bool extended_id)
{
    m_extended_id = extended_id;
    VyrBitPatternValidator *previous = m_validator;
    m_validator = new VyrBitPatternValidator(extended_id, this);
    setValidator(m_validator);
    delete previous;
}
