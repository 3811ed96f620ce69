#include "forms/dialog_trace_filters_base.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

QComboBox *id_combo(QWidget *parent, const char *name)
{
    auto *combo = form::named<QComboBox>(parent, name);
    combo->setEditable(true);
    combo->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    return combo;
}

QTreeWidget *id_list(QWidget *parent, const char *name)
{
    auto *list = form::named<QTreeWidget>(parent, name);
    list->setColumnCount(2);
    list->setRootIsDecorated(false);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

QFrame *line(QWidget *parent, const char *name)
{
    auto *frame = form::named<QFrame>(parent, name);
    frame->setFrameShape(QFrame::HLine);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

} // namespace

DialogTraceFiltersBase::DialogTraceFiltersBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setModal(modal);
    form::set_object_name(this, name, "DialogTraceFiltersBase");
    setSizeGripEnabled(true);
    DialogTraceFiltersBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogTraceFiltersBaseLayout");

    FilterTabWidget = form::named<QTabWidget>(this, "FilterTabWidget");
    tab = form::named<QWidget>(FilterTabWidget, "tab");
    tabLayout = form::top_layout<QVBoxLayout>(tab, "tabLayout");
    cb_std_filter_active = form::named<QCheckBox>(tab, "cb_std_filter_active");
    tabLayout->addWidget(cb_std_filter_active);
    bg_std_filter_type = form::named<QGroupBox>(tab, "bg_std_filter_type");
    auto *std_type_layout = form::group_layout<QVBoxLayout>(bg_std_filter_type);
    rb_std_pass = form::named<QRadioButton>(bg_std_filter_type, "rb_std_pass");
    std_type_layout->addWidget(rb_std_pass);
    rb_std_block = form::named<QRadioButton>(bg_std_filter_type, "rb_std_block");
    std_type_layout->addWidget(rb_std_block);
    tabLayout->addWidget(bg_std_filter_type);
    bg_std_id_list = form::named<QGroupBox>(tab, "bg_std_id_list");
    auto *std_grid = form::group_layout<QGridLayout>(bg_std_id_list);
    pb_std_add_single = form::named<QPushButton>(bg_std_id_list, "pb_std_add_single");
    std_grid->addWidget(pb_std_add_single, 0, 4);
    cb_std_start_id = id_combo(bg_std_id_list, "cb_std_start_id");
    std_grid->addWidget(cb_std_start_id, 1, 1);
    TextLabel8 = form::named<QLabel>(bg_std_id_list, "TextLabel8");
    std_grid->addWidget(TextLabel8, 1, 0);
    pb_std_add_range = form::named<QPushButton>(bg_std_id_list, "pb_std_add_range");
    std_grid->addWidget(pb_std_add_range, 1, 4);
    TextLabel7 = form::named<QLabel>(bg_std_id_list, "TextLabel7");
    std_grid->addWidget(TextLabel7, 1, 2);
    cb_std_end_id = id_combo(bg_std_id_list, "cb_std_end_id");
    std_grid->addWidget(cb_std_end_id, 1, 3);
    TextLabel9 = form::named<QLabel>(bg_std_id_list, "TextLabel9");
    std_grid->addWidget(TextLabel9, 0, 0);
    lv_std = id_list(bg_std_id_list, "lv_std");
    std_grid->addWidget(lv_std, 2, 0, 1, 4);
    Layout4 = form::nested_layout<QVBoxLayout>("Layout4");
    pb_std_delete = form::named<QPushButton>(bg_std_id_list, "pb_std_delete");
    Layout4->addWidget(pb_std_delete);
    Line1 = line(bg_std_id_list, "Line1");
    Layout4->addWidget(Line1);
    pb_std_optimize = form::named<QPushButton>(bg_std_id_list, "pb_std_optimize");
    Layout4->addWidget(pb_std_optimize);
    Layout4->addItem(form::vertical_spacer());
    std_grid->addLayout(Layout4, 2, 4);
    cb_std_single_id = id_combo(bg_std_id_list, "cb_std_single_id");
    std_grid->addWidget(cb_std_single_id, 0, 1);
    tabLayout->addWidget(bg_std_id_list);
    FilterTabWidget->addTab(tab, QString());

    tab_2 = form::named<QWidget>(FilterTabWidget, "tab_2");
    tabLayout_2 = form::top_layout<QVBoxLayout>(tab_2, "tabLayout_2");
    Layout4_2 = form::nested_layout<QVBoxLayout>("Layout4_2");
    cb_ext_filter_active = form::named<QCheckBox>(tab_2, "cb_ext_filter_active");
    Layout4_2->addWidget(cb_ext_filter_active);
    bg_ext_filter_type = form::named<QGroupBox>(tab_2, "bg_ext_filter_type");
    auto *ext_type_layout = form::group_layout<QVBoxLayout>(bg_ext_filter_type);
    rb_ext_pass = form::named<QRadioButton>(bg_ext_filter_type, "rb_ext_pass");
    ext_type_layout->addWidget(rb_ext_pass);
    rb_ext_block = form::named<QRadioButton>(bg_ext_filter_type, "rb_ext_block");
    ext_type_layout->addWidget(rb_ext_block);
    Layout4_2->addWidget(bg_ext_filter_type);
    bg_ext_id_list = form::named<QGroupBox>(tab_2, "bg_ext_id_list");
    auto *ext_grid = form::group_layout<QGridLayout>(bg_ext_id_list);
    pb_ext_add_single = form::named<QPushButton>(bg_ext_id_list, "pb_ext_add_single");
    ext_grid->addWidget(pb_ext_add_single, 0, 4);
    TextLabel10 = form::named<QLabel>(bg_ext_id_list, "TextLabel10");
    ext_grid->addWidget(TextLabel10, 0, 0);
    pb_ext_add_range = form::named<QPushButton>(bg_ext_id_list, "pb_ext_add_range");
    ext_grid->addWidget(pb_ext_add_range, 1, 4);
    TextLabel12 = form::named<QLabel>(bg_ext_id_list, "TextLabel12");
    ext_grid->addWidget(TextLabel12, 1, 2);
    cb_ext_start_id = id_combo(bg_ext_id_list, "cb_ext_start_id");
    ext_grid->addWidget(cb_ext_start_id, 1, 1);
    cb_ext_end_id = id_combo(bg_ext_id_list, "cb_ext_end_id");
    ext_grid->addWidget(cb_ext_end_id, 1, 3);
    TextLabel11 = form::named<QLabel>(bg_ext_id_list, "TextLabel11");
    ext_grid->addWidget(TextLabel11, 1, 0);
    lv_ext = id_list(bg_ext_id_list, "lv_ext");
    ext_grid->addWidget(lv_ext, 2, 0, 1, 4);
    Layout4_3 = form::nested_layout<QVBoxLayout>("Layout4_3");
    pb_ext_delete = form::named<QPushButton>(bg_ext_id_list, "pb_ext_delete");
    Layout4_3->addWidget(pb_ext_delete);
    Line2 = line(bg_ext_id_list, "Line2");
    Layout4_3->addWidget(Line2);
    pb_ext_optimize = form::named<QPushButton>(bg_ext_id_list, "pb_ext_optimize");
    Layout4_3->addWidget(pb_ext_optimize);
    Layout4_3->addItem(form::vertical_spacer());
    ext_grid->addLayout(Layout4_3, 2, 4);
    cb_ext_single_id = id_combo(bg_ext_id_list, "cb_ext_single_id");
    ext_grid->addWidget(cb_ext_single_id, 0, 1);
    Layout4_2->addWidget(bg_ext_id_list);
    tabLayout_2->addLayout(Layout4_2);
    FilterTabWidget->addTab(tab_2, QString());
    DialogTraceFiltersBaseLayout->addWidget(FilterTabWidget);

    Layout5 = form::nested_layout<QHBoxLayout>("Layout5");
    Layout5->addItem(form::horizontal_spacer());
    pb_ok = form::named<QPushButton>(this, "pb_ok");
    pb_ok->setAutoDefault(true);
    pb_ok->setDefault(true);
    Layout5->addWidget(pb_ok);
    pb_cancel = form::named<QPushButton>(this, "pb_cancel");
    pb_cancel->setAutoDefault(true);
    Layout5->addWidget(pb_cancel);
    pb_help = form::named<QPushButton>(this, "pb_help");
    pb_help->setMinimumWidth(80);
    pb_help->setAutoDefault(false);
    Layout5->addWidget(pb_help);
    DialogTraceFiltersBaseLayout->addLayout(Layout5);

    languageChange();
    pb_ok->setShortcut(QKeySequence());
    pb_cancel->setShortcut(QKeySequence());
    pb_help->setShortcut(QKeySequence(Qt::ALT | Qt::Key_H));
    form::resize(this, QSize(437, 547));
    connect(pb_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(pb_cancel, &QPushButton::clicked, this, &QDialog::reject);

    QWidget *const chain[] = {rb_ext_pass,      rb_ext_block,     cb_ext_single_id, pb_ext_add_single, cb_ext_start_id,
                              cb_ext_end_id,    pb_ext_add_range, lv_ext,           pb_ext_delete,     pb_ok,
                              pb_cancel,        rb_std_pass,      rb_std_block,     cb_std_single_id,  pb_std_add_single,
                              cb_std_start_id,  cb_std_end_id,    pb_std_add_range, lv_std,            pb_std_delete,
                              FilterTabWidget};
    for (size_t i = 1; i < sizeof chain / sizeof chain[0]; ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

DialogTraceFiltersBase::Page DialogTraceFiltersBase::standard_page() const
{
    return {cb_std_filter_active, bg_std_filter_type, rb_std_pass,    rb_std_block,     bg_std_id_list,
            cb_std_single_id,     cb_std_start_id,    cb_std_end_id,  pb_std_add_single, pb_std_add_range,
            lv_std,               pb_std_delete,      pb_std_optimize};
}

DialogTraceFiltersBase::Page DialogTraceFiltersBase::extended_page() const
{
    return {cb_ext_filter_active, bg_ext_filter_type, rb_ext_pass,    rb_ext_block,     bg_ext_id_list,
            cb_ext_single_id,     cb_ext_start_id,    cb_ext_end_id,  pb_ext_add_single, pb_ext_add_range,
            lv_ext,               pb_ext_delete,      pb_ext_optimize};
}

void DialogTraceFiltersBase::language_change(const Page &page)
{
    page.active->setText(tr("Filters are active"));
    page.type->setTitle(tr("Filter Type"));
    page.pass->setText(tr("Pass Filter"));
    page.block->setText(tr("Block Filter"));
    page.list->setTitle(tr("Identifier List"));
    page.add_single->setText(tr("Add Single Id"));
    page.add_range->setText(tr("Add Range"));
    page.ids->headerItem()->setText(0, tr("Numeric"));
    page.ids->headerItem()->setText(1, tr("Symbolic Name"));
    page.remove->setText(tr("Delete"));
    page.optimize->setText(tr("Optimize List"));
}

void DialogTraceFiltersBase::languageChange()
{
    setWindowTitle(tr("Trace Filter List"));
    language_change(standard_page());
    language_change(extended_page());
    TextLabel9->setText(tr("Single Id:"));
    TextLabel8->setText(tr("Range"));
    TextLabel7->setText(tr("...."));
    TextLabel10->setText(tr("Single Id:"));
    TextLabel11->setText(tr("Range:"));
    TextLabel12->setText(tr("...."));
    pb_ok->setText(tr("OK"));
    pb_cancel->setText(tr("Cancel"));
    pb_help->setText(tr("&Help"));
    FilterTabWidget->setTabText(0, tr("Standard Identifiers (11bit)"));
    FilterTabWidget->setTabText(1, tr("Extended Identifiers (29bit)"));
}
