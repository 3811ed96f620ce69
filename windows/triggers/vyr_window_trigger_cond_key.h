#pragma once
// The editor of a key trigger condition: a key selector.
#include <QWidget>

class VyrSelectKey;
class VyrTriggerCondData;

class VyrWindowTriggerCondKey : public QWidget
{
    Q_OBJECT
public:
    explicit VyrWindowTriggerCondKey(QWidget *parent = nullptr, const char *name = nullptr);

    VyrSelectKey *select_key() const { return m_select_key; }

public slots:
    void set_cond_data(VyrTriggerCondData *data);
    void get_cond_data(VyrTriggerCondData *data);

private:
    VyrSelectKey *m_select_key;
};
