#pragma once
// The settings dialog of a CAN interface: hardware channel, partner
// interface, script and database files, the arbitration bit timing (by
// bitrate and sample point through a search over the controller's time
// quanta, or as the two bus timing registers), the CAN FD data phase, silent
// mode, the acceptance filters and the protocol decoder. OK stays disabled
// while an active interface has no valid timing or a filter field is empty.
#include "forms/dialog_can_bitrate_base.h"
#include "interfaces/can/can_bit_timing.h"
#include "interfaces/can/can_settings_dialog.h"

#include <QMap>

#include <iterator>

class QListWidgetItem;
class QMenu;

class VyrDialogCANBitrate : public DialogCANBitrateBase, public VyrCanSettingsDialog
{
    Q_OBJECT

public:
    // The data-phase clocks of cb_brs_clock in MHz, by item.
    static constexpr int brs_clocks_mhz[] = {8, 16, 40, 64, 80, 160, 200};
    static constexpr unsigned classic_clock = 8000000;

    explicit VyrDialogCANBitrate(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                 Qt::WindowFlags flags = {});

    // VyrCanSettingsDialog.
    void set_caption(const QString &caption) override;
    void set_canfd_mode(int mode) override;
    void set_brs_timing(bool enabled, int clock, int prescaler, int tseg1, int tseg2, int sjw) override;
    void set_timing(int bitrate, int tseg1, int tseg2, int sjw, int samples) override;
    void set_silent(bool silent) override;
    void select_channel(const QString &channel, const QString &user_name) override;
    void show_script_file(const QString &file) override;
    void add_database_file(const QString &file) override;
    void set_interface(VyrCanIf *signal_if) override;
    void set_connect_to(const QString &interface_id) override;
    void set_active(bool active) override;
    void set_filters(const VyrAcceptanceFilter *standard, const VyrAcceptanceFilter *extended) override;
    void set_protocol_plugin(const QString &name) override;
    bool run() override;
    void get_filters(VyrAcceptanceFilter &standard, VyrAcceptanceFilter &extended) const override;
    int bitrate() const override { return m_bitrate; }
    int tseg1() const override { return m_tseg1; }
    int tseg2() const override { return m_tseg2; }
    int sjw() const override { return m_sjw; }
    int samples() const override { return m_samples; }
    bool silent() const override { return m_silent; }
    bool canfd_enabled() const override;
    int canfd_mode() const override;
    int brs_clock() const override { return m_brs_clock; }
    int brs_prescaler() const override { return m_brs_prescaler; }
    int brs_tseg1() const override { return m_brs_tseg1; }
    int brs_tseg2() const override { return m_brs_tseg2; }
    int brs_sjw() const override { return m_brs_sjw; }
    bool active() const override;
    QString channel(QString &user_name) const override;
    QString script_file() const override;
    QString connect_to() const override;
    QString protocol_plugin() const override;
    int database_file_count() const override;
    QString database_file(int index) const override;

    int prescaler() const { return m_prescaler; }
    int sample_point() const { return m_sample_point; }
    unsigned clock() const { return m_clock; }
    bool primary() const { return m_primary; }
    // Whether the timing is valid and every filter field holds a number.
    bool valid() const;

    // The path menus, built for the current text or item; the caller runs
    // and deletes them (tests trigger their actions by object name).
    QMenu *make_script_menu();
    QMenu *make_candb_menu();

signals:
    void activate_help_context(const QString &key);

public slots:
    void bitrate_changed();
    void enter_bus_params();
    void enter_chip_params();
    void normal_clicked();
    void silent_clicked();
    void prescaler_changed();
    void sample_point_changed();
    void sjw_changed();
    void can_channel_changed();
    void samples_changed();
    void active_changed();
    void show_status();
    void std_filter_changed();
    void ext_filter_changed();
    void std_pass_all();
    void ext_pass_all();
    void std_extend_by_id();
    void ext_extend_by_id();
    void open_script_file_dialog();
    void open_candb_file_dialog();
    void open_script_context_menu();
    void open_candb_context_menu();
    void open_candb_listbox_context_menu(const QPoint &point);
    void brs_settings_changed();
    void help_context();
    void show_filter_status();
    void show_bitrate();
    void show_sjw();
    void show_samples();
    void check_primary();

private:
    struct FilterFields
    {
        QCheckBox *block_all;
        QLineEdit *code;
        QLineEdit *mask;
        VyrBitPatternEdit *bits;
        QPushButton *extend;
        bool extended;
    };
    FilterFields filter_fields(bool extended) const;
    void filter_changed(bool extended);
    void pass_all(bool extended);
    void extend_by_id(bool extended);
    void write_filter(const FilterFields &fields, uint32_t code, uint32_t mask);

    // Runs the search and shows its lists; 0 when a timing was found. A
    // bitrate outside the search's bounds changes nothing.
    int find_timing(int prescaler, int target_sample_point);
    // Refills the sample-point list (and the prescaler list when asked).
    void show_timing_lists(const CanTimingSearch &search, bool prescalers, int selected_sample_point);
    void set_clock(unsigned clock, bool wide_sjw);
    void update_ok();
    void connect_slots();
    void build_partner_list();
    // The file when it can be read, made relative to the current directory
    // where it can be; empty after telling the user.
    QString checked_file(const QString &file);

    bool m_timing_found = false;
    bool m_btr_valid = false;
    bool m_primary = true;
    unsigned m_clock = classic_clock;
    int m_bitrate = 1000000;
    int m_sample_point = 75;
    int m_sjw = 1;
    int m_samples = 1;
    int m_tseg1 = 0;
    int m_tseg2 = 0;
    int m_prescaler = 0;
    bool m_wide_sjw = false;
    int m_brs_clock = 16;
    int m_brs_prescaler = 1;
    int m_brs_tseg1 = 4;
    int m_brs_tseg2 = 3;
    int m_brs_sjw = 1;
    bool m_silent = false;
    VyrCanIf *m_interface = nullptr;
    // Item of combo_connect_channel_list to the interface it names.
    QMap<int, VyrCanIf *> m_partners;
};
