#include "app/dialog_describe_config.h"

#include "core/widgets/form_support.h"
#include "forms/vyr_help_request.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

DialogDescribeConfig::DialogDescribeConfig(QWidget *parent, const char *name) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(name));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);

    text_view = form::named<QTextBrowser>(this, "text_view");
    form::set_background(text_view, QColor(255, 255, 166));
    text_view->setMinimumSize(450, 250);
    layout->addWidget(text_view);

    auto *button_row = form::named<QWidget>(this, "button_row");
    auto *button_layout = new QHBoxLayout(button_row);
    button_layout->setContentsMargins(5, 5, 5, 5);
    pb_close = form::named<QPushButton>(button_row, "pb_close");
    pb_close->setText(QStringLiteral("&Close"));
    button_layout->addWidget(pb_close);
    pb_print = form::named<QPushButton>(button_row, "pb_print");
    pb_print->setText(QStringLiteral("&Print..."));
    pb_print->setEnabled(false);
    button_layout->addWidget(pb_print);
    pb_help = form::named<QPushButton>(button_row, "pb_help");
    pb_help->setText(QStringLiteral("&Help"));
    button_layout->addWidget(pb_help);
    layout->addWidget(button_row);

    // hide() also ends a modal run.
    connect(pb_close, &QPushButton::clicked, this, &QWidget::hide);
    connect(pb_print, &QPushButton::clicked, this, &DialogDescribeConfig::print);
    connect(pb_help, &QPushButton::clicked, this, &DialogDescribeConfig::help_context);
    connect_help_to_main_widget(this);
}

void DialogDescribeConfig::set_text(const QString &text)
{
    text_view->setHtml(text);
}

void DialogDescribeConfig::help_context()
{
    emit activate_help_context(QStringLiteral("DialogDescribeConfig"));
}
