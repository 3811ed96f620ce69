#pragma once
// A reader for the rich-text description of the loaded configuration, on
// light yellow paper, with the buttons "&Close", "&Print..." (printing is not
// offered: always disabled) and "&Help".
#include <QDialog>

class QPushButton;
class QTextBrowser;

class DialogDescribeConfig : public QDialog
{
    Q_OBJECT

public:
    explicit DialogDescribeConfig(QWidget *parent = nullptr, const char *name = nullptr);

    void set_text(const QString &text);

    QTextBrowser *text_view;
    QPushButton *pb_close;
    QPushButton *pb_print;
    QPushButton *pb_help;

public slots:
    // Printing is not offered; the Print button never enables.
    void print() {}
    void help_context();

signals:
    void activate_help_context(const QString &key);
};
