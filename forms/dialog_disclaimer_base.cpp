#include "forms/dialog_disclaimer_base.h"

#include "core/widgets/form_support.h"

#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>

DialogDisclaimerBase::DialogDisclaimerBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setModal(modal);
    form::set_object_name(this, name, "DialogDisclaimerBase");
    QSizePolicy own_policy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    own_policy.setHeightForWidth(sizePolicy().hasHeightForWidth());
    setSizePolicy(own_policy);
    setSizeGripEnabled(true);
    DialogDisclaimerBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogDisclaimerBaseLayout");

    widget_stack = new QStackedWidget(this);
    widget_stack->setObjectName(QStringLiteral("widget_stack"));
    widget_stack->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    DialogDisclaimerBaseLayout->addWidget(widget_stack);

    page_text = new QWidget(widget_stack);
    page_text->setObjectName(QStringLiteral("page_text"));
    page_textLayout = form::top_layout<QVBoxLayout>(page_text, "page_textLayout", 0, 0);

    tl_header = new QLabel(page_text);
    tl_header->setObjectName(QStringLiteral("tl_header"));
    form::set_foreground(tl_header, QColor(255, 0, 0));
    form::set_font(tl_header, 10);
    page_textLayout->addWidget(tl_header);

    tb_text = new QTextBrowser(page_text);
    tb_text->setObjectName(QStringLiteral("tb_text"));
    form::set_background(tb_text, QColor(255, 255, 0));
    form::set_font(tb_text, 10);
    tb_text->setFrameShape(QFrame::NoFrame);
    tb_text->setFrameShadow(QFrame::Plain);
    page_textLayout->addWidget(tb_text);
    widget_stack->insertWidget(0, page_text);

    page_graphic = new QWidget(widget_stack);
    page_graphic->setObjectName(QStringLiteral("page_graphic"));
    page_graphicLayout = form::top_layout<QVBoxLayout>(page_graphic, "page_graphicLayout", 0, 0);

    tl_pixmap = new QLabel(page_graphic);
    tl_pixmap->setObjectName(QStringLiteral("tl_pixmap"));
    tl_pixmap->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    tl_pixmap->setScaledContents(false);
    page_graphicLayout->addWidget(tl_pixmap);
    widget_stack->insertWidget(1, page_graphic);

    button_layout = form::nested_layout<QHBoxLayout>("button_layout");
    button_layout->addItem(form::horizontal_spacer());

    pb_accept = new QPushButton(this);
    pb_accept->setObjectName(QStringLiteral("pb_accept"));
    form::set_foreground(pb_accept, QColor(0, 170, 0));
    form::set_font(pb_accept, 10, 75);
    pb_accept->setAutoDefault(true);
    pb_accept->setDefault(false);
    pb_accept->setFlat(true);
    button_layout->addWidget(pb_accept);

    pb_decline = new QPushButton(this);
    pb_decline->setObjectName(QStringLiteral("pb_decline"));
    form::set_foreground(pb_decline, QColor(255, 0, 0));
    form::set_font(pb_decline, 10, 75);
    pb_decline->setAutoDefault(true);
    pb_decline->setDefault(true);
    pb_decline->setFlat(true);
    button_layout->addWidget(pb_decline);
    DialogDisclaimerBaseLayout->addLayout(button_layout);

    languageChange();
    form::resize(this, QSize(446, 333));

    connect(pb_accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(pb_decline, &QPushButton::clicked, this, &QDialog::reject);
}

void DialogDisclaimerBase::languageChange()
{
    setWindowTitle(tr("Exclusion of Liability"));
    tl_header->setText(tr("<center><font size=\"+5\"><b>Exclusion of Liability</b></font></center>"));
    tb_text->setHtml(tr("<p>The use of this program is at your own risk.</p>"
                        "<p>Press <b>Accept</b> to agree, or <b>Decline</b> to end the program.</p>"));
    pb_accept->setText(tr("Accept"));
    pb_accept->setShortcut(QKeySequence());
    pb_decline->setText(tr("Decline"));
    pb_decline->setShortcut(QKeySequence());
}
