#pragma once
// A line edit for an acceptance pattern written bit by bit: "xxx xxxx xxxx"
// for standard identifiers (groups of 3, 4 and 4 bits), "x xxxx xxxx xxxx
// xxxx xxxx xxxx xxxx" for extended ones (1, then seven groups of 4), each
// bit '0', '1' or 'x'/'X' (don't care). Typing overwrites: the text keeps its
// length and the cursor steps over the blanks between groups.
#include <QLineEdit>
#include <QValidator>

class VyrBitPatternValidator : public QValidator
{
    Q_OBJECT

public:
    static constexpr int standard_length = 13;
    static constexpr int extended_length = 36;

    explicit VyrBitPatternValidator(bool extended_id, QObject *parent = nullptr);

    // Text shorter than the pattern is invalid; surplus characters are taken
    // away at the cursor, so that a typed bit replaces the one after it.
    State validate(QString &text, int &position) const override;

    int length() const { return m_length; }

private:
    int m_length;
};

class VyrBitPatternEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit VyrBitPatternEdit(QWidget *parent = nullptr, bool extended_id = false);

    // Switches between the standard and the extended pattern.
    void set_extended_id(bool extended_id);
    bool extended_id() const { return m_extended_id; }

private:
    bool m_extended_id = false;
    VyrBitPatternValidator *m_validator = nullptr;
};
