#pragma once
// Panel items on Qwt widgets: a slider and a dial that send their position to
// a signal, and a thermometer that shows one. All three fit their scale to the
// signal's range.
#include "windows/panel/vyr_panel_item.h"

#include <qwt_dial.h>

#include <cstdint>

// The number of scale steps for the range lower..upper near target_steps.
double panel_scale_step(double lower, double upper, double target_steps);

// A dial that stays square when one side of it is resized.
class VyrQwtDial : public QwtDial
{
    Q_OBJECT
public:
    explicit VyrQwtDial(QWidget *parent = nullptr) : QwtDial(parent) {}

protected:
    void resizeEvent(QResizeEvent *event) override;
};

// The slider and the dial: they write their position, truncated to an
// integer, whenever it differs from the last one written.
class VyrQwtPanelSendingItem : public VyrPanelItem
{
    Q_OBJECT
public:
    void reset_display() override;
    void update_display(const TimeValue &now) override;

protected:
    virtual double position() const = 0;
    virtual void set_position(double value) = 0;

    static constexpr int32_t nothing_sent = -999999;
    int32_t m_last_sent = nothing_sent;
};

class VyrQwtPanelItemSlider : public VyrQwtPanelSendingItem
{
    Q_OBJECT
public:
    // orientation: 0 horizontal, 1 vertical.
    VyrQwtPanelItemSlider(QWidget *parent, uint32_t orientation);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void refresh_display() override;
public slots:
    void value_changed();

protected:
    double position() const override;
    void set_position(double value) override;

private:
    bool m_horizontal;
};

class VyrQwtPanelItemDial : public VyrQwtPanelSendingItem
{
    Q_OBJECT
public:
    explicit VyrQwtPanelItemDial(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void refresh_display() override;

protected:
    double position() const override;
    void set_position(double value) override;
};

class VyrQwtPanelItemThermo : public VyrPanelItem
{
    Q_OBJECT
public:
    explicit VyrQwtPanelItemThermo(QWidget *parent);
    static VyrPanelItem *create(QWidget *parent, uint32_t variant);
    void update_display(const TimeValue &now) override;
    void refresh_display() override;
};
