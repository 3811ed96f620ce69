#pragma once
// Form of the dialog that sets a curve's colour and its optional fixed
// y range: the colour button on top, the "Userdefined Limits" check box with
// the two limits under it, then OK and Cancel.
#include <QDialog>

class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

class QGraphDialogSignalPropertiesBase : public QDialog
{
    Q_OBJECT

public:
    explicit QGraphDialogSignalPropertiesBase(QWidget *parent = nullptr, const char *name = nullptr,
                                              bool modal = false, Qt::WindowFlags flags = {});

    QCheckBox *cb_userdefined_limits;
    QLabel *textLabel2;
    QLineEdit *le_min;
    QLineEdit *le_max;
    QLabel *textLabel3;
    QLabel *textLabel1;
    QPushButton *pb_color;
    QPushButton *pb_ok;
    QPushButton *pb_cancel;

protected:
    QVBoxLayout *QGraphDialogSignalPropertiesBaseLayout;
    QGridLayout *layout3;
    QHBoxLayout *Layout1;

protected slots:
    virtual void languageChange();
};
