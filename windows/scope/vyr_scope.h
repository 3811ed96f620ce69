#pragma once
// The scope: signal values drawn over time. Each shown signal is an item of
// the window's display list that stores the signal's samples and feeds its
// curve in the graph. While the measurement runs, the update tick moves the
// visible range along with the newest sample, keeps the samples of the last
// five minutes and trims rings that run full.
#include "windows/base/vyr_data_window.h"
#include "windows/base/vyr_signal_display_list.h"

#include <memory>

class QToolButton;
class VyrGraphWindow;
class VyrScopeSignalItem;

// The scope's list: its items are scope items.
class VyrScopeSignalDisplayList : public VyrSignalDisplayList
{
    Q_OBJECT
public:
    using VyrSignalDisplayList::VyrSignalDisplayList;
    SignalDisplayEntry *create_entry(SignalRecord *signal) override;
};

class VyrScope : public VyrDataWindow
{
    Q_OBJECT
public:
    static constexpr const char *class_key_text = "Scope";
    // Below this share of free samples (percent) a ring loses twice as many.
    static constexpr unsigned trim_threshold = 10;
    static constexpr double history_span = 300.0;

    explicit VyrScope(QWidget *parent);
    ~VyrScope() override;

    // The window-type registry's factory: a scope, read from the group when one is given.
    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);

    VyrSignalDisplayList *signal_display_list() const override;
    VyrGraphWindow *graph() const { return m_graph; }
    // Seconds per division of the x axis.
    double x_scale() const { return m_x_scale; }
    double history_start() const { return m_history_start; }
    VyrScopeSignalItem *item(int index) const;
    int item_count() const;

public slots:
    void signal_list_changed();
    void write_configuration(QtbConfig *config) override;
    void startup() override;
    void stop() override;
    void state_changed() override;
    virtual void undo_state_changed();
    void update_signals() override;
    void button_graph_clicked();
    void button_connect_clicked();
    void button_digital_clicked();
    void button_bars_clicked();
    void button_dots_clicked();
    void set_common_yaxis();
    void set_separate_yaxis();
    void set_own_yscale();
    void set_xscale_10s();
    void set_xscale_1s();
    void set_xscale_100ms();
    void set_xscale_10ms();
    void set_xscale_1ms();
    void update_xscale();
    void interface_configuration_changed(const QString &interface_id) override;

private:
    void set_draw_mode(int mode);
    void set_signal_mode(int mode);
    void set_x_scale(double seconds);

    std::unique_ptr<VyrScopeSignalDisplayList> m_display_list;
    VyrGraphWindow *m_graph = nullptr;
    QToolButton *m_mode_buttons[5] = {};
    QToolButton *m_grid_button = nullptr;
    QToolButton *m_fit_button = nullptr;
    QToolButton *m_own_yscale_button = nullptr;
    QToolButton *m_common_yaxis_button = nullptr;
    QToolButton *m_separate_yaxis_button = nullptr;
    QToolButton *m_undo_button = nullptr;
    QToolButton *m_redo_button = nullptr;
    double m_history_start = 0.0;
    double m_x_scale = 1.0;
};
