#pragma once
// Form of the editor of a CAN trigger condition: the channel, a single
// identifier or an identifier range, and eight tests of the data bytes.
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QVBoxLayout;

class WindowTriggerCondCanBase : public QWidget
{
    Q_OBJECT

public:
    explicit WindowTriggerCondCanBase(QWidget *parent = nullptr, const char *name = nullptr,
                                      Qt::WindowFlags flags = {});

    QGroupBox *GroupBox2;
    QRadioButton *rb_single_id;
    QLabel *TextLabel1_3;
    QComboBox *combo_can_id_start;
    QLabel *TextLabel1;
    QComboBox *combo_can_channel;
    QLabel *TextLabel2;
    QComboBox *combo_can_id_end;
    QComboBox *combo_can_id;
    QRadioButton *rb_id_range;
    QGroupBox *GroupBox1;
    QCheckBox *cb_byte1, *cb_byte2, *cb_byte3, *cb_byte4, *cb_byte5, *cb_byte6, *cb_byte7, *cb_byte8;
    QComboBox *combo_rel1, *combo_rel2, *combo_rel3, *combo_rel4, *combo_rel5, *combo_rel6, *combo_rel7, *combo_rel8;
    QLineEdit *le_byte1, *le_byte2, *le_byte3, *le_byte4, *le_byte5, *le_byte6, *le_byte7, *le_byte8;
    QLabel *TextLabel3;
    QLabel *TextLabel1_2;
    QFrame *Line1;
    QLabel *TextLabel2_2;

    // The byte rows, byte 1 first.
    std::array<QCheckBox *, 8> byte_checks() const;
    std::array<QComboBox *, 8> relation_combos() const;
    std::array<QLineEdit *, 8> byte_edits() const;

protected:
    QVBoxLayout *WindowTriggerCondCanBaseLayout;
    QGridLayout *GroupBox2Layout;
    QGridLayout *GroupBox1Layout;
    QVBoxLayout *Layout4;

protected slots:
    virtual void languageChange();
};
