#pragma once
// Form of the dialog "Trace Filter List": one page for standard and one for
// extended identifiers, each with its on/off switch, pass or block choice
// and identifier list edited by single identifiers and ranges.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QVBoxLayout;

class DialogTraceFiltersBase : public QDialog
{
    Q_OBJECT
public:
    explicit DialogTraceFiltersBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                    Qt::WindowFlags flags = {});

    QTabWidget *FilterTabWidget;
    QWidget *tab;
    QCheckBox *cb_std_filter_active;
    QGroupBox *bg_std_filter_type;
    QRadioButton *rb_std_pass;
    QRadioButton *rb_std_block;
    QGroupBox *bg_std_id_list;
    QPushButton *pb_std_add_single;
    QComboBox *cb_std_start_id;
    QLabel *TextLabel8;
    QPushButton *pb_std_add_range;
    QLabel *TextLabel7;
    QComboBox *cb_std_end_id;
    QLabel *TextLabel9;
    QTreeWidget *lv_std;
    QPushButton *pb_std_delete;
    QFrame *Line1;
    QPushButton *pb_std_optimize;
    QComboBox *cb_std_single_id;
    QWidget *tab_2;
    QCheckBox *cb_ext_filter_active;
    QGroupBox *bg_ext_filter_type;
    QRadioButton *rb_ext_pass;
    QRadioButton *rb_ext_block;
    QGroupBox *bg_ext_id_list;
    QPushButton *pb_ext_add_single;
    QLabel *TextLabel10;
    QPushButton *pb_ext_add_range;
    QLabel *TextLabel12;
    QComboBox *cb_ext_start_id;
    QComboBox *cb_ext_end_id;
    QLabel *TextLabel11;
    QTreeWidget *lv_ext;
    QPushButton *pb_ext_delete;
    QFrame *Line2;
    QPushButton *pb_ext_optimize;
    QComboBox *cb_ext_single_id;
    QPushButton *pb_ok;
    QPushButton *pb_cancel;
    QPushButton *pb_help;

protected:
    QVBoxLayout *DialogTraceFiltersBaseLayout;
    QVBoxLayout *tabLayout;
    QVBoxLayout *tabLayout_2;
    QVBoxLayout *Layout4_2;
    QVBoxLayout *Layout4;
    QVBoxLayout *Layout4_3;
    QHBoxLayout *Layout5;

public slots:
    virtual void languageChange();

private:
    struct Page
    {
        QCheckBox *active;
        QGroupBox *type;
        QRadioButton *pass;
        QRadioButton *block;
        QGroupBox *list;
        QComboBox *single;
        QComboBox *start;
        QComboBox *end;
        QPushButton *add_single;
        QPushButton *add_range;
        QTreeWidget *ids;
        QPushButton *remove;
        QPushButton *optimize;
    };
    void language_change(const Page &page);
    Page standard_page() const;
    Page extended_page() const;
};
