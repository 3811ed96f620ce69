#pragma once
// The signals of one CAN frame decoded through the network database: name,
// raw value, physical value, unit and a range column (a bar in read-only
// tables, a slider in editable ones). Edits are encoded back into the frame.
#include <QSlider>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QWidget>

#include <cstdint>
#include <set>
#include <vector>

class CANdbCluster;
class CANdbMessage;
class CANdbSignal;
class QtbConfigGroup;
struct VyrCanMessage;

// A table whose protected column never opens a cell editor and that sorts whole rows.
class SignalTable : public QTableWidget
{
    Q_OBJECT
public:
    SignalTable(QWidget *parent, const char *name, int protected_column);
    // Commits an open cell editor.
    void end_edit();
    // The width the column's cells need (-1 without rows).
    int contents_width(int column) const { return sizeHintForColumn(column); }

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    int m_protected_column;
};

class TableSlider : public QSlider
{
    Q_OBJECT
public:
    TableSlider(QWidget *parent, CANdbSignal *signal, double minimum, double maximum);
    CANdbSignal *signal() const { return m_signal; }

public slots:
    void value_changed(int value);

signals:
    void signal_changed(CANdbSignal *signal, int value);

private:
    CANdbSignal *m_signal;
};

class SignalNameItem : public QTableWidgetItem
{
public:
    SignalNameItem(CANdbSignal *signal, CANdbMessage *message);
    CANdbSignal *signal() const { return m_signal; }
    CANdbMessage *message() const { return m_message; }

private:
    CANdbSignal *m_signal;
    CANdbMessage *m_message;
};

class SignalValueItem : public QTableWidgetItem
{
public:
    enum Kind { NotAvailable = 0, Integer = 1, Floating = 2 };
    SignalValueItem();
    void set_value(double value);
    void set_value(int value);
    void set_value(unsigned value);
    void set_na();
    Kind kind() const { return m_kind; }
    // The text by which a column of these items sorts.
    QString key() const;
    bool operator<(const QTableWidgetItem &other) const override;

private:
    Kind m_kind = NotAvailable;
};

class SignalRangeBar : public QTableWidgetItem
{
public:
    SignalRangeBar(double value, double minimum, double maximum);
    void set_value(double value);
    void set_invalid() { m_valid = false; }
    double value() const { return m_value; }
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    bool valid() const { return m_valid; }
    // Width in pixels of the bar in a cell of that width.
    int bar_width(int cell_width) const;

private:
    double m_value;
    double m_minimum;
    double m_maximum;
    bool m_valid = true;
};

class VyrCanSignalTable : public QWidget
{
    Q_OBJECT
public:
    enum Column { Name, Raw, Physical, Unit, Range };
    static constexpr uint32_t no_key = 0xFFFFFFFFu;

    VyrCanSignalTable(QWidget *parent, const char *name, bool editable);

    SignalTable *table() const { return m_table; }
    CANdbMessage *message() const { return m_message; }
    void read_configuration(QtbConfigGroup *group);
    void write_configuration(QtbConfigGroup *group) const;

    // The physical range that bars and sliders show.
    static void physical_range(const CANdbSignal &signal, double &minimum, double &maximum);

public slots:
    void clear_table();
    void update_table_from_data();
    void value_changed(int row, int column);
    void message_selected(CANdbMessage *message);
    void set_can_data(VyrCanMessage *frame, unsigned key = no_key, bool j1939 = true);
    void set_candb_cluster(CANdbCluster *cluster);
    void set_signal_raw_value(CANdbSignal *signal, int value);

signals:
    void can_data_changed(VyrCanMessage *frame);

private:
    // The message's signals that the frame holds (the multiplexor decides).
    std::vector<CANdbSignal *> present_signals(const CANdbMessage &message) const;
    // Decodes the signal from the frame; false when it lies outside the data.
    bool decode(const CANdbSignal &signal, double &raw, double &physical) const;
    void encode(const CANdbSignal &signal, double raw);
    void set_value_cell(int row, int column, double value, bool integer, bool is_unsigned, bool valid);
    // Grows each column to its title and its widest cell, unless the user sized it.
    void fit_columns();

    CANdbCluster *m_cluster = nullptr;
    CANdbMessage *m_message = nullptr;
    VyrCanMessage *m_frame = nullptr;
    SignalTable *m_table;
    // Columns the user resized; set while fit_columns resizes.
    std::set<int> m_user_sized;
    bool m_fitting = false;
    bool m_editable;
    // The rows: the message's signals that the frame holds.
    std::vector<CANdbSignal *> m_present;
    // Set while the cells are written from the frame: no cell change is an edit then.
    bool m_updating = false;
};
