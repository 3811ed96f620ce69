#pragma once
// The dialog in which the user edits a data window's title, update rate and
// identifier. The window fills it, runs it and applies what changed.
#include "windows/window_properties_base.h"

class QIntValidator;

class VyrWindowProperties : public WindowPropertiesBase
{
    Q_OBJECT
public:
    VyrWindowProperties(QWidget *parent, const char *name);

    void set_title(const QString &text);
    QString title() const;
    // The rate edit takes digits only: 0 means no update timer, and the
    // window runs any rate above 0 at least every 10 ms.
    void set_update_rate(int ms);
    // 0 when the edit holds no number.
    int update_rate() const;
    void set_identifier(const QString &text);
    QString identifier() const;

private:
    QIntValidator *m_rate_validator;
};
