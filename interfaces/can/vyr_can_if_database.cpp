// The network databases of a CAN interface: loading the description files,
// the interface signal_records bound to the database signal_records, the send buffers of
// the database messages, and the database signal_records' values written by
// scripts and windows.
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "core/candb_message_data.h"
#include "core/db_signal_record.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_reporter.h"
#include "core/vyr_signal_list.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_provider.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace {

constexpr int classic_send_buffer = 8;

bool is_defined_database_signal(const SignalRecord *signal)
{
    return signal->has_flag(SignalRecord::DatabaseBound) && signal->has_flag(SignalRecord::DefinedByCompile);
}

} // namespace

QDateTime VyrCanIf::file_time(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified() : QDateTime();
}

void VyrCanIf::set_databases(std::unique_ptr<CANdbCluster> databases)
{
    m_databases = std::move(databases);
}

int VyrCanIf::load_databases()
{
    // The load rebinds the database signals: whoever lists them lets go first.
    if (notification())
        notification()->notify_signal_reload_start(QString::fromStdString(make_id()));
    m_databases.reset();
    m_send_buffers->clear();

    VyrSignalList *signal_records = signal_list();
    std::vector<std::string> lost;
    for (SignalRecord *signal = signal_records->first(); signal; signal = signal_records->next()) {
        auto *bound = dynamic_cast<DbSignalRecord *>(signal);
        if (!bound)
            continue;
        bound->remove_flags(SignalRecord::DefinedByCompile);
        if (bound->db_signal()) {
            bound->add_flags(SignalRecord::Changed);
            lost.push_back(bound->name());
        }
        bound->set_db_signal(nullptr);
    }

    int result = 0;
    VyrSignalIfReporter reporter(this);
    m_database_times.assign(size_t(m_database_files.size()), QDateTime());
    for (int i = 0; i < m_database_files.size(); ++i) {
        const QString &file = m_database_files[i];
        if (file.isEmpty())
            continue;
        if (!m_databases)
            m_databases = std::make_unique<CANdbCluster>();
        CANdbNetwork *network = m_databases->add_network(std::make_unique<CANdbNetwork>());
        const QFileInfo info(file);
        if (!info.isFile() || !info.isReadable()) {
            error(QStringLiteral("Unable to open database file '%1'.").arg(file).toStdString());
            result = -1;
            continue;
        }
        m_database_times[size_t(i)] = info.lastModified();
        QString extension = info.suffix().toLower();
        if (extension.isEmpty())
            extension = QStringLiteral("dbc");
        const CANdbFileFormat *format = CANdbFileFormat::find_by_extension(extension.toLatin1().constData());
        if (!format) {
            error(QStringLiteral("No CANdbFileFormat for extension '%1'.").arg(extension).toStdString());
            result = -1;
            continue;
        }
        if (!(format->flags() & CANdbFileFormat::kRead)) {
            error(QStringLiteral("No read support for format '%1'.").arg(QLatin1String(format->name())).toStdString());
            result = -1;
            continue;
        }
        std::unique_ptr<CANdbFileIo> reader(CANdbFileFormat::create_io(format->name()));
        if (!reader) {
            error("Unable to build CANdbFileIo object.");
            result = -1;
            continue;
        }
        message(QStringLiteral("Reading file '%1' using format '%2'")
                    .arg(file, QLatin1String(format->name()))
                    .toStdString());
        reader->set_file_name(QFile::encodeName(file).constData());
        reader->set_reporter(&reporter);
        reader->set_source_name(network);
        const int read = reader->read(network);
        if (read != 0) {
            error(QStringLiteral("Reader for file type '%1' returned %2.").arg(extension).arg(read).toStdString());
            error(QStringLiteral("CAN database read error (%1)").arg(read).toStdString());
            result = -1;
        }
    }
    if (m_databases)
        bind_database_signals(lost);
    report_reloaded_signals(lost);
    return result;
}

void VyrCanIf::bind_database_signals(std::vector<std::string> &lost)
{
    VyrSignalList *signal_records = signal_list();
    for (CANdbNetwork *network : m_databases->networks) {
        for (CANdbMessage *db_message : network->messages) {
            CANdbMessageData *buffer = m_send_buffers->find_or_add(
                db_message->id, std::clamp(int(db_message->dlc), classic_send_buffer, VyrCanMessage::max_data));
            buffer->set_message(db_message);
            for (CANdbSignal *db_signal : db_message->signal_list) {
                const std::string name = network->source_name + "." + db_message->name + "." + db_signal->name;
                SignalRecord *found = signal_records->find(name.c_str());
                if (found && found->has_flag(SignalRecord::Predefined)) {
                    warning_printf("Signal '%s' is pre-defined", name.c_str());
                    continue;
                }
                auto *bound = dynamic_cast<DbSignalRecord *>(found);
                if (found && !bound)
                    continue; // a script's own signal keeps its name
                if (bound) {
                    bound->add_flags(SignalRecord::Changed);
                    lost.erase(std::remove(lost.begin(), lost.end(), name), lost.end());
                } else {
                    bound = static_cast<DbSignalRecord *>(new_signal(name.c_str(), SignalRecord::DatabaseBound));
                    bound->add_flags(SignalRecord::CreatedByScript);
                    bound->set_owner(this);
                    bound->set_direction(SignalRecord::Input);
                    bound->set_mode(SignalRecord::Event);
                    signal_records->insert(bound);
                }
                const bool floating =
                    db_signal->value_kind == CANdbKindSingle || db_signal->value_kind == CANdbKindDouble;
                bound->set_value_type(floating ? SignalValue::Double : SignalValue::Int);
                bound->set_min(db_signal->minimum);
                bound->set_max(db_signal->maximum);
                bound->set_db_signal(db_signal);
                bound->add_flags(SignalRecord::DefinedByCompile);
            }
        }
    }
}

void VyrCanIf::report_reloaded_signals(const std::vector<std::string> &lost)
{
    VyrSignalIfNotification *hub = notification();
    const QString id = QString::fromStdString(make_id());
    VyrSignalList *signal_records = signal_list();
    for (SignalRecord *signal = signal_records->first(); signal; signal = signal_records->next()) {
        if (!dynamic_cast<DbSignalRecord *>(signal) || !is_defined_database_signal(signal) ||
            !signal->has_flag(SignalRecord::Changed))
            continue;
        signal->remove_flags(SignalRecord::Changed);
        if (hub)
            hub->notify_signal_changed(id, QString::fromStdString(signal->name()));
    }
    if (hub)
        for (const std::string &name : lost)
            emit hub->signal_removed(id, QString::fromStdString(name));
}

void VyrCanIf::observe_database_signals(bool observe)
{
    for (VyrSignalEntry *entry : signal_entries()) {
        auto *bound = dynamic_cast<DbSignalRecord *>(entry->signal());
        if (!bound || !is_defined_database_signal(bound) || bound->mode() != SignalRecord::Event || !bound->db_signal())
            continue;
        // A start that follows a failed one finds its observers still there.
        bound->db_signal()->clear_observers();
        if (observe)
            bound->db_signal()->add_observer(&VyrCanIf::on_signal_decoded, entry);
    }
}

SignalRecord *VyrCanIf::new_signal(const char *name, uint32_t flags)
{
    if (!(flags & SignalRecord::DatabaseBound))
        return VyrSignalIf::new_signal(name, flags);
    auto *signal = new DbSignalRecord;
    signal->set_name(name);
    signal->set_flags(flags);
    return signal;
}

int VyrCanIf::write_script_signal(VyrSignalEntry *entry, const SignalValue &value)
{
    SignalRecord *signal = entry->signal();
    if (!signal || !signal->has_flag(SignalRecord::DefinedByCompile))
        return -1;
    if (auto *bound = dynamic_cast<DbSignalRecord *>(signal); bound && bound->db_signal()) {
        CANdbSignal *db_signal = bound->db_signal();
        if (CANdbMessageData *buffer = m_send_buffers->find(db_signal->message->id)) {
            const double physical = value.type == SignalValue::Double ? value.double_value : value.int_value;
            double raw = physical - db_signal->offset;
            if (db_signal->factor != 0.0)
                raw /= db_signal->factor;
            uint8_t data[VyrCanMessage::max_data];
            std::copy(buffer->data(), buffer->data() + buffer->capacity(), data);
            if (db_signal->value_type == CANdbRawFloat || db_signal->value_type == CANdbRawDouble)
                db_signal->encode_double(data, buffer->capacity(), raw);
            else
                db_signal->encode_int(data, buffer->capacity(), int64_t(raw));
            buffer->set_data(data, std::max(buffer->length, int(db_signal->message->dlc)));
        }
    }
    if (signal->has_flag(SignalRecord::ScriptFunction))
        VyrSignalIf::write_script_signal(entry, value);
    return 0;
}

int VyrCanIf::check_script_file_modified(QWidget *parent)
{
    CANhwProviderList::global().enumerate_all_channels();
    if (find_channel() < 0)
        return -1;
    for (int i = 0; i < m_database_files.size() && size_t(i) < m_database_times.size(); ++i) {
        const QDateTime read_at = m_database_times[size_t(i)];
        const QDateTime modified = file_time(m_database_files[i]);
        if (!read_at.isValid() || !(read_at < modified))
            continue;
        if (vyr_user_preferences().reload_changed_files) {
            load_databases();
            continue;
        }
        const QString question = QStringLiteral("Database file '%1' has been altered on disk.\nDo you want to reload ?")
                                     .arg(m_database_files[i]);
        switch (vyr_ask_question(parent, QStringLiteral("Warning"), question,
                                 {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Cancel")})) {
        case 0:
            load_databases();
            break;
        case 1:
            m_database_times[size_t(i)] = modified;
            break;
        default:
            return 1;
        }
    }
    return VyrSignalIf::check_script_file_modified(parent);
}

bool VyrCanIf::has_script_file() const
{
    return !m_database_files.isEmpty() || VyrSignalIf::has_script_file();
}

int VyrCanIf::reload_script()
{
    if (!m_database_files.isEmpty()) {
        if (const int result = load_databases())
            return result;
    }
    return VyrSignalIf::reload_script();
}

void VyrCanIf::rebase_script_file_path(const QString &old_dir, const QString &new_dir)
{
    for (QString &file : m_database_files)
        if (QFileInfo(file).isRelative())
            file = QDir(old_dir).absoluteFilePath(file);
    VyrSignalIf::rebase_script_file_path(old_dir, new_dir);
}
