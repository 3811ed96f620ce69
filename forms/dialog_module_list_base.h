#pragma once
// Form of the dialog "Interface List": the table of the configured
// interfaces, a column of buttons at its right and an explanation below.
#include <QDialog>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

class DialogModuleListBase : public QDialog
{
    Q_OBJECT

public:
    explicit DialogModuleListBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                  Qt::WindowFlags flags = {});

    QTableWidget *table_module_list;
    QPushButton *pb_close;
    QPushButton *pb_help;
    QPushButton *pb_configure;
    QPushButton *pb_new;
    QPushButton *pb_delete;
    QLabel *TextLabel1;

protected:
    QVBoxLayout *DialogModuleListBaseLayout;
    QHBoxLayout *Layout2;
    QVBoxLayout *Layout3;

protected slots:
    virtual void languageChange();
};
