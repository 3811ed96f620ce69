#pragma once
// What the CAN interface's configure operation needs of its settings dialog.
// The dialog is a widget, which this library does not link: the library of
// the interface widgets installs the factory at start-up. configure fills
// the dialog from the interface, runs it and on acceptance reads it back.
#include <QString>

#include <memory>

class QWidget;
class VyrAcceptanceFilter;
class VyrCanIf;

class VyrCanSettingsDialog
{
public:
    virtual ~VyrCanSettingsDialog() = default;

    virtual void set_caption(const QString &caption) = 0;
    virtual void set_canfd_mode(int mode) = 0;
    virtual void set_brs_timing(bool enabled, int clock, int prescaler, int tseg1, int tseg2, int sjw) = 0;
    virtual void set_timing(int bitrate, int tseg1, int tseg2, int sjw, int samples) = 0;
    virtual void set_silent(bool silent) = 0;
    virtual void select_channel(const QString &channel, const QString &user_name) = 0;
    virtual void show_script_file(const QString &file) = 0;
    virtual void add_database_file(const QString &file) = 0;
    virtual void set_interface(VyrCanIf *signal_if) = 0;
    virtual void set_connect_to(const QString &interface_id) = 0;
    virtual void set_active(bool active) = 0;
    // Either may be null.
    virtual void set_filters(const VyrAcceptanceFilter *standard, const VyrAcceptanceFilter *extended) = 0;
    virtual void set_protocol_plugin(const QString &name) = 0;

    // Runs the dialog modally; true when it was accepted.
    virtual bool run() = 0;

    // Code, mask and block-all of each filter; the other fields stay.
    virtual void get_filters(VyrAcceptanceFilter &standard, VyrAcceptanceFilter &extended) const = 0;
    virtual int bitrate() const = 0;
    virtual int tseg1() const = 0;
    virtual int tseg2() const = 0;
    virtual int sjw() const = 0;
    virtual int samples() const = 0;
    virtual bool silent() const = 0;
    virtual bool canfd_enabled() const = 0;
    virtual int canfd_mode() const = 0;
    virtual int brs_clock() const = 0;
    virtual int brs_prescaler() const = 0;
    virtual int brs_tseg1() const = 0;
    virtual int brs_tseg2() const = 0;
    virtual int brs_sjw() const = 0;
    virtual bool active() const = 0;
    // The channel name without its user name, which goes to user_name.
    virtual QString channel(QString &user_name) const = 0;
    virtual QString script_file() const = 0;
    // Empty when the interface is not connected to another.
    virtual QString connect_to() const = 0;
    // Empty when none is chosen.
    virtual QString protocol_plugin() const = 0;
    virtual int database_file_count() const = 0;
    // Empty past the end.
    virtual QString database_file(int index) const = 0;
};

using VyrCanSettingsDialogFactory = std::unique_ptr<VyrCanSettingsDialog> (*)(QWidget *parent);

// Null puts none back: configure then changes nothing.
void set_can_settings_dialog_factory(VyrCanSettingsDialogFactory factory);
// A new dialog (named "CANBitrate"), or null while no factory is installed.
std::unique_ptr<VyrCanSettingsDialog> make_can_settings_dialog(QWidget *parent);
