#pragma once
// Selects a key combination: a modifier box (empty, "CTRL", "SHIFT", "ALT")
// and a key box listing the key table. Codes are in the program's own
// numbering (core/key_codes.h).
#include <QWidget>

class QComboBox;

class VyrSelectKey : public QWidget
{
    Q_OBJECT
public:
    VyrSelectKey(QWidget *parent, int code);

    // Selects the key's name when the table has it (else the key box stays)
    // and the modifier by its bit; any other modifier value selects the
    // empty item.
    void set_key(int code);
    // The selected modifier's bit plus the selected key's code.
    int key() const;
    // The key name, or the modifier, "+" and the key name.
    QString text() const;

    QComboBox *modifier_box() const { return m_modifier_box; }
    QComboBox *key_box() const { return m_key_box; }

private:
    QComboBox *m_modifier_box;
    QComboBox *m_key_box;
};
