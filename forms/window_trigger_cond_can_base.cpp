#include "forms/window_trigger_cond_can_base.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

WindowTriggerCondCanBase::WindowTriggerCondCanBase(QWidget *parent, const char *name, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
    form::set_object_name(this, name, "WindowTriggerCondCanBase");
    WindowTriggerCondCanBaseLayout = form::top_layout<QVBoxLayout>(this, "WindowTriggerCondCanBaseLayout", 0);

    // The widgets are created in the form's order, which is also the focus
    // order; the grid places them by rows.
    GroupBox2 = form::named<QGroupBox>(this, "GroupBox2");
    GroupBox2Layout = form::group_layout<QGridLayout>(GroupBox2);
    rb_single_id = form::named<QRadioButton>(GroupBox2, "rb_single_id");
    TextLabel1_3 = form::named<QLabel>(GroupBox2, "TextLabel1_3");
    TextLabel1_3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TextLabel1_3->setWordWrap(true);
    TextLabel1_3->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    combo_can_id_start = form::named<QComboBox>(GroupBox2, "combo_can_id_start");
    TextLabel1 = form::named<QLabel>(GroupBox2, "TextLabel1");
    combo_can_channel = form::named<QComboBox>(GroupBox2, "combo_can_channel");
    combo_can_channel->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    TextLabel2 = form::named<QLabel>(GroupBox2, "TextLabel2");
    combo_can_id_end = form::named<QComboBox>(GroupBox2, "combo_can_id_end");
    combo_can_id = form::named<QComboBox>(GroupBox2, "combo_can_id");
    combo_can_id->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    rb_id_range = form::named<QRadioButton>(GroupBox2, "rb_id_range");
    // A plain group box: the editor switches the two itself.
    rb_single_id->setAutoExclusive(false);
    rb_id_range->setAutoExclusive(false);
    GroupBox2Layout->addWidget(TextLabel2, 0, 0);
    GroupBox2Layout->addWidget(combo_can_channel, 0, 1);
    GroupBox2Layout->addWidget(TextLabel1, 1, 0, 1, 2);
    GroupBox2Layout->addWidget(rb_single_id, 2, 0);
    GroupBox2Layout->addWidget(combo_can_id, 2, 1);
    GroupBox2Layout->addWidget(rb_id_range, 3, 0);
    GroupBox2Layout->addWidget(combo_can_id_start, 3, 1);
    GroupBox2Layout->addWidget(TextLabel1_3, 4, 0);
    GroupBox2Layout->addWidget(combo_can_id_end, 4, 1);
    WindowTriggerCondCanBaseLayout->addWidget(GroupBox2);

    GroupBox1 = form::named<QGroupBox>(this, "GroupBox1");
    GroupBox1Layout = form::group_layout<QGridLayout>(GroupBox1);
    cb_byte7 = form::named<QCheckBox>(GroupBox1, "cb_byte7");
    cb_byte8 = form::named<QCheckBox>(GroupBox1, "cb_byte8");
    cb_byte5 = form::named<QCheckBox>(GroupBox1, "cb_byte5");
    cb_byte2 = form::named<QCheckBox>(GroupBox1, "cb_byte2");
    cb_byte1 = form::named<QCheckBox>(GroupBox1, "cb_byte1");
    cb_byte6 = form::named<QCheckBox>(GroupBox1, "cb_byte6");
    combo_rel7 = form::named<QComboBox>(GroupBox1, "combo_rel7");
    combo_rel8 = form::named<QComboBox>(GroupBox1, "combo_rel8");
    cb_byte3 = form::named<QCheckBox>(GroupBox1, "cb_byte3");
    cb_byte4 = form::named<QCheckBox>(GroupBox1, "cb_byte4");
    Layout4 = form::nested_layout<QVBoxLayout>("Layout4");
    le_byte1 = form::named<QLineEdit>(GroupBox1, "le_byte1");
    le_byte2 = form::named<QLineEdit>(GroupBox1, "le_byte2");
    le_byte3 = form::named<QLineEdit>(GroupBox1, "le_byte3");
    le_byte4 = form::named<QLineEdit>(GroupBox1, "le_byte4");
    le_byte5 = form::named<QLineEdit>(GroupBox1, "le_byte5");
    le_byte6 = form::named<QLineEdit>(GroupBox1, "le_byte6");
    le_byte7 = form::named<QLineEdit>(GroupBox1, "le_byte7");
    le_byte8 = form::named<QLineEdit>(GroupBox1, "le_byte8");
    combo_rel2 = form::named<QComboBox>(GroupBox1, "combo_rel2");
    combo_rel6 = form::named<QComboBox>(GroupBox1, "combo_rel6");
    combo_rel5 = form::named<QComboBox>(GroupBox1, "combo_rel5");
    combo_rel4 = form::named<QComboBox>(GroupBox1, "combo_rel4");
    combo_rel1 = form::named<QComboBox>(GroupBox1, "combo_rel1");
    combo_rel3 = form::named<QComboBox>(GroupBox1, "combo_rel3");
    TextLabel3 = form::named<QLabel>(GroupBox1, "TextLabel3");
    TextLabel1_2 = form::named<QLabel>(GroupBox1, "TextLabel1_2");
    Line1 = form::named<QFrame>(GroupBox1, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    TextLabel2_2 = form::named<QLabel>(GroupBox1, "TextLabel2_2");

    GroupBox1Layout->addWidget(TextLabel3, 0, 0);
    GroupBox1Layout->addWidget(TextLabel1_2, 0, 1);
    GroupBox1Layout->addWidget(TextLabel2_2, 0, 2);
    GroupBox1Layout->addWidget(Line1, 1, 0, 1, 3);
    const auto checks = byte_checks();
    const auto relations = relation_combos();
    const auto edits = byte_edits();
    for (int byte = 0; byte < 8; ++byte) {
        GroupBox1Layout->addWidget(checks[size_t(byte)], byte + 2, 0);
        GroupBox1Layout->addWidget(relations[size_t(byte)], byte + 2, 1);
        Layout4->addWidget(edits[size_t(byte)]);
    }
    GroupBox1Layout->addLayout(Layout4, 2, 2, 8, 1);
    WindowTriggerCondCanBaseLayout->addWidget(GroupBox1);

    languageChange();
    form::resize(this, QSize(333, 454));
}

std::array<QCheckBox *, 8> WindowTriggerCondCanBase::byte_checks() const
{
    return {cb_byte1, cb_byte2, cb_byte3, cb_byte4, cb_byte5, cb_byte6, cb_byte7, cb_byte8};
}

std::array<QComboBox *, 8> WindowTriggerCondCanBase::relation_combos() const
{
    return {combo_rel1, combo_rel2, combo_rel3, combo_rel4, combo_rel5, combo_rel6, combo_rel7, combo_rel8};
}

std::array<QLineEdit *, 8> WindowTriggerCondCanBase::byte_edits() const
{
    return {le_byte1, le_byte2, le_byte3, le_byte4, le_byte5, le_byte6, le_byte7, le_byte8};
}

void WindowTriggerCondCanBase::languageChange()
{
    setWindowTitle(tr("Form1"));
    GroupBox2->setTitle(tr("CAN Message"));
    TextLabel2->setText(tr("Channel:"));
    TextLabel1->setText(tr("<b>Identifier:</b>"));
    rb_single_id->setText(tr("Single Identifier"));
    rb_id_range->setText(tr("Identifier Range"));
    TextLabel1_3->setText(tr("<b> ... </b>"));
    GroupBox1->setTitle(tr("Message Data To Match"));
    TextLabel3->setText(tr("<b>Byte</b>"));
    TextLabel1_2->setText(tr("<b>Relation</b>"));
    TextLabel2_2->setText(tr("<b>Data</b>"));
    const auto checks = byte_checks();
    for (int byte = 0; byte < 8; ++byte)
        checks[size_t(byte)]->setText(tr("Byte %1").arg(byte + 1));
    for (QComboBox *combo : relation_combos()) {
        combo->clear();
        combo->addItems({tr("equal (==)"), tr("net equal (!=)"), tr("greater than (>)"), tr("less than (<)"),
                         tr("greater or equal (>=)"), tr("less or equal (<=)")});
    }
}
