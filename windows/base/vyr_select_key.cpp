#include "windows/base/vyr_select_key.h"

#include "core/key_codes.h"

#include <QComboBox>
#include <QHBoxLayout>

namespace {

struct ModifierItem
{
    const char *text;
    int bit;
};

// The modifier box's items after its empty first item.
const ModifierItem modifier_items[] = {
    {"CTRL", key_modifier_ctrl},
    {"SHIFT", key_modifier_shift},
    {"ALT", key_modifier_alt},
};

} // namespace

VyrSelectKey::VyrSelectKey(QWidget *parent, int code) : QWidget(parent)
{
    setFocusPolicy(Qt::WheelFocus);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    m_modifier_box = new QComboBox(this);
    m_modifier_box->setObjectName(QStringLiteral("modifier_box"));
    m_modifier_box->setMinimumWidth(10);
    m_modifier_box->addItem(QString());
    for (const ModifierItem &item : modifier_items)
        m_modifier_box->addItem(QString::fromLatin1(item.text));
    m_key_box = new QComboBox(this);
    m_key_box->setObjectName(QStringLiteral("key_box"));
    m_key_box->setMinimumWidth(10);
    for (int row = 0; row < key_table_size(); ++row)
        m_key_box->addItem(QString::fromLatin1(key_table_name(row)));
    layout->addWidget(m_modifier_box);
    layout->addWidget(m_key_box);
    set_key(code);
}

void VyrSelectKey::set_key(int code)
{
    if (const char *name = key_code_to_name(code))
        m_key_box->setCurrentText(QString::fromLatin1(name));
    int modifier_index = 0;
    for (int i = 0; i < int(sizeof modifier_items / sizeof modifier_items[0]); ++i)
        if ((code & 0xF00000) == modifier_items[i].bit)
            modifier_index = i + 1;
    m_modifier_box->setCurrentIndex(modifier_index);
}

int VyrSelectKey::key() const
{
    int modifier = 0;
    const int index = m_modifier_box->currentIndex();
    if (index > 0)
        modifier = modifier_items[index - 1].bit;
    return modifier + key_name_to_code(m_key_box->currentText().toStdString());
}

QString VyrSelectKey::text() const
{
    if (m_modifier_box->currentIndex() <= 0)
        return m_key_box->currentText();
    return m_modifier_box->currentText() + QLatin1Char('+') + m_key_box->currentText();
}
