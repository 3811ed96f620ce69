#pragma once
// The bus statistics window: one line per CAN interface with its bus state,
// bus load, message rate, error counters, message and error-frame counts
// and the hardware channel it works on. The interfaces compute the figures
// into their statistic signals; each cell follows one of them and shows its
// latest value when the window's update timer fires.
#include "windows/base/signal_value_listener.h"
#include "windows/base/vyr_data_window.h"

#include <QTreeWidgetItem>

#include <array>
#include <memory>
#include <vector>

class QTreeWidget;
class VyrCanIf;

// One interface's line: its identifier and a cell per statistic signal the interface has.
class StatisticChannelItem : public QTreeWidgetItem
{
public:
    StatisticChannelItem(QTreeWidget *list, const QString &interface_id);
    const QString &interface_id() const { return m_interface_id; }
    std::vector<std::unique_ptr<SignalValueListener>> &cells() { return m_cells; }

private:
    QString m_interface_id;
    // The listener's kind is its column.
    std::vector<std::unique_ptr<SignalValueListener>> m_cells;
};

class VyrBusStatistic : public VyrDataWindow
{
    Q_OBJECT
public:
    static constexpr const char *class_key_text = "Statistics";
    enum Column {
        Name,
        BusStatus,
        BusLoad,
        Rate,
        TxErrors,
        RxErrors,
        StdMessages,
        ExtMessages,
        ErrorFrames,
        Info,
        column_count
    };

    explicit VyrBusStatistic(QWidget *parent);
    ~VyrBusStatistic() override;

    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);
    void read_configuration(QtbConfigGroup *group);

    QTreeWidget *list_view() const { return m_list; }
    // The line of the interface, or null.
    StatisticChannelItem *line(const QString &interface_id) const;
    // The text a cell shows for the signal's value.
    static QString cell_text(const SignalRecord &signal, const SignalValue &value);

public slots:
    void write_configuration(QtbConfig *config) override;
    void startup() override;
    void stop() override;
    void state_changed() override;
    void update_signals() override;
    void add_canif(VyrCanIf *can);
    void add_interface(const QString &interface_id) override;
    void remove_interface(const QString &interface_id) override;
    void interface_configuration_changed(const QString &interface_id) override;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // The interface's name and channel columns grow to their texts; they never shrink below a width the user gave.
    void fit_name_columns();

    QTreeWidget *m_list = nullptr;
    // The header section each column had at construction.
    std::array<int, column_count> m_sections{};
};
