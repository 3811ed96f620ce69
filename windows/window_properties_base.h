#pragma once
// The form of the window properties dialog: title, update rate and
// identifier of a data window, with Ok and Cancel.
#include <QDialog>

class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

class WindowPropertiesBase : public QDialog
{
    Q_OBJECT
public:
    WindowPropertiesBase(QWidget *parent, const char *name);

    QLabel *tl_title;
    QLabel *tl_update_rate;
    QLabel *tl_identifier;
    QLineEdit *le_title;
    QLineEdit *le_update_rate;
    QLineEdit *le_identifier;
    QFrame *line_separator;
    QPushButton *pb_ok;
    QPushButton *pb_cancel;

protected:
    virtual void languageChange();

    QGridLayout *grid;
};
