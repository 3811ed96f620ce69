#include "windows/window_properties_base.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLabel *make_label(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLineEdit *make_edit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

WindowPropertiesBase::WindowPropertiesBase(QWidget *parent, const char *name) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(name ? name : "WindowPropertiesBase"));
    setModal(true);
    if (parent && !parent->windowIcon().isNull())
        setWindowIcon(parent->windowIcon());

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(10, 10, 10, 10);
    box->addSpacing(10);
    grid = new QGridLayout();
    box->addLayout(grid);

    tl_title = make_label(this, "tl_title");
    tl_update_rate = make_label(this, "tl_update_rate");
    tl_identifier = make_label(this, "tl_identifier");
    le_title = make_edit(this, "le_title");
    le_update_rate = make_edit(this, "le_update_rate");
    le_identifier = make_edit(this, "le_identifier");
    grid->addWidget(tl_title, 0, 0);
    grid->addWidget(le_title, 0, 1);
    grid->addWidget(tl_update_rate, 1, 0);
    grid->addWidget(le_update_rate, 1, 1);
    grid->addWidget(tl_identifier, 2, 0);
    grid->addWidget(le_identifier, 2, 1);
    grid->setColumnMinimumWidth(0, 100);
    grid->setColumnMinimumWidth(1, 100);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 5);
    box->addStretch();

    box->addSpacing(4);
    line_separator = new QFrame(this);
    line_separator->setObjectName(QStringLiteral("line_separator"));
    line_separator->setFrameShape(QFrame::HLine);
    line_separator->setFrameShadow(QFrame::Sunken);
    line_separator->setMinimumHeight(2);
    box->addWidget(line_separator);
    box->addSpacing(4);

    auto *buttons = new QHBoxLayout();
    buttons->addStretch();
    pb_ok = new QPushButton(this);
    pb_ok->setObjectName(QStringLiteral("pb_ok"));
    pb_ok->setDefault(true);
    pb_cancel = new QPushButton(this);
    pb_cancel->setObjectName(QStringLiteral("pb_cancel"));
    buttons->addWidget(pb_ok);
    buttons->addWidget(pb_cancel);
    box->addLayout(buttons);

    languageChange();
    // At least 50 pixels, and never narrower than the text.
    for (QLabel *label : {tl_title, tl_update_rate, tl_identifier}) {
        label->setMinimumWidth(std::max(50, label->sizeHint().width()));
        label->setFixedHeight(label->sizeHint().height());
    }
    for (QPushButton *button : {pb_ok, pb_cancel})
        button->setFixedSize(button->sizeHint());
    resize(350, 100);

    connect(pb_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(pb_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void WindowPropertiesBase::languageChange()
{
    setWindowTitle(tr("Window Properties"));
    tl_title->setText(tr("Window Title:"));
    tl_update_rate->setText(tr("Update Rate [ms]:"));
    tl_identifier->setText(tr("Window Identifier:"));
    pb_ok->setText(tr("Ok"));
    pb_cancel->setText(tr("Cancel"));
}
