#pragma once
// Form of the liability notice shown at start-up: a stack whose text page
// holds a header and the notice, and the buttons "Accept" and "Decline".
#include <QDialog>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class QVBoxLayout;

class DialogDisclaimerBase : public QDialog
{
    Q_OBJECT

public:
    explicit DialogDisclaimerBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                  Qt::WindowFlags flags = {});

    QStackedWidget *widget_stack;
    QWidget *page_text;
    QLabel *tl_header;
    QTextBrowser *tb_text;
    QWidget *page_graphic;
    QLabel *tl_pixmap;
    QPushButton *pb_accept;
    QPushButton *pb_decline;

protected:
    QVBoxLayout *DialogDisclaimerBaseLayout;
    QVBoxLayout *page_textLayout;
    QVBoxLayout *page_graphicLayout;
    QHBoxLayout *button_layout;

protected slots:
    virtual void languageChange();
};
