#include "windows/logging/vyr_dialog_log_to_file.h"

#include "core/path_util.h"
#include "core/vyr_trigger.h"
#include "windows/logging/log_file.h"

#include <QApplication>

#include <algorithm>
#include <iterator>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int max_size_entry_count = int(std::size(VyrDialogLogToFile::max_size_entries));

QString native_save_file(QWidget *parent, const QString &start, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, QString(), start, filter);
}

bool file_writable(const QString &file)
{
    return QFileInfo(file).isWritable();
}

void critical_message(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox::critical(parent, caption, text);
}

const LogFileFormat *format_of(const LogFile *file)
{
    return file ? file->format() : nullptr;
}

} // namespace

VyrDialogLogToFile::Desktop &VyrDialogLogToFile::desktop()
{
    static Desktop desktop{native_save_file, file_writable, critical_message};
    return desktop;
}

VyrDialogLogToFile::VyrDialogLogToFile(QWidget *parent, const char *name, bool modal)
    : DialogLogToFileBase(parent, name ? name : "VyrDialogLogToFile", modal)
{
    for (const LogFileFormat *format = LogFileFormat::first(); format; format = format->next()) {
        if (format->flags() & LogFileFormat::Writable)
            combo_format->addItem(QString::fromStdString(format->name()));
    }
    if (VyrTriggerList *triggers = VyrTriggerList::instance()) {
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next())
            combo_trigger_name->addItem(trigger->name());
    }
    cb_max_messages->setValidator(new QIntValidator(0, max_messages_limit, cb_max_messages));
    combo_pre_trigger->setValidator(new QIntValidator(0, max_pretrigger_limit, combo_pre_trigger));
    rb_append->setChecked(true);

    connect(cb_enable_logging, &QCheckBox::toggled, this, &VyrDialogLogToFile::show_state);
    connect(cb_enable_trigger, &QCheckBox::toggled, this, &VyrDialogLogToFile::show_state);
    connect(le_logfile_name, &QLineEdit::textChanged, this, &VyrDialogLogToFile::show_state);
    connect(combo_format, QOverload<int>::of(&QComboBox::activated), this, &VyrDialogLogToFile::format_changed);
    connect(rb_max_messages, &QRadioButton::toggled, cb_max_messages, &QWidget::setEnabled);
    connect(rb_max_size, &QRadioButton::toggled, cb_max_size, &QWidget::setEnabled);
    connect(pb_setup, &QPushButton::clicked, this, &VyrDialogLogToFile::open_setup_dialog);
    connect(pb_select_logfile, &QPushButton::clicked, this, &VyrDialogLogToFile::open_logfile_file_dialog);
    connect(pb_popup_logfile, &QPushButton::clicked, this, &VyrDialogLogToFile::open_logfile_context_menu);
    connect(pb_help, &QPushButton::clicked, this, &VyrDialogLogToFile::context_help);
    cb_max_messages->setEnabled(rb_max_messages->isChecked());
    cb_max_size->setEnabled(rb_max_size->isChecked());
    show_state();
}

VyrDialogLogToFile::~VyrDialogLogToFile() = default;

void VyrDialogLogToFile::load(LogFile *file)
{
    if (file) {
        le_logfile_name->setText(QString::fromStdString(file->file_name()));
        cb_enable_logging->setChecked(file->active());
        QRadioButton *const write_modes[] = {rb_append, rb_overwrite, rb_increment_filename};
        if (file->write_mode() >= 0 && file->write_mode() < 3)
            write_modes[file->write_mode()]->setChecked(true);
        QRadioButton *const size_modes[] = {rb_no_limit, rb_max_messages, rb_max_size};
        if (file->size_mode() >= 0 && file->size_mode() < 3)
            size_modes[file->size_mode()]->setChecked(true);
        cb_max_messages->setCurrentText(QString::number(file->max_messages()));
        combo_pre_trigger->setCurrentText(QString::number(file->max_pretrigger_messages()));
        cb_delete_empty_files->setChecked(file->delete_empty_files());
        const uint32_t *entry = std::find(std::begin(max_size_entries), std::end(max_size_entries), file->max_bytes());
        cb_max_size->setCurrentIndex(entry == std::end(max_size_entries) ? 0 : int(entry - max_size_entries));
        if (const LogFileFormat *format = format_of(file))
            combo_format->setCurrentText(QString::fromStdString(format->name()));
        cb_enable_trigger->setChecked(file->enable_trigger());
        const QString trigger = file->trigger_name();
        if (!trigger.isEmpty())
            combo_trigger_name->setCurrentText(trigger);
    }
    m_created.reset();
    m_loaded = file;
    m_current = file;
    m_options_changed = false;
    show_state();
}

LogFile *VyrDialogLogToFile::apply()
{
    LogFile *file = current();
    if (!file)
        return nullptr;
    file->set_active(cb_enable_logging->isChecked());
    file->set_file_name(le_logfile_name->text().toLocal8Bit().constData());
    file->set_write_mode(rb_increment_filename->isChecked() ? LogFile::Numbered
                             : rb_overwrite->isChecked()    ? LogFile::Overwrite
                                                            : LogFile::Append);
    file->set_size_mode(rb_max_size->isChecked()           ? LogFile::LimitBytes
                            : rb_max_messages->isChecked() ? LogFile::LimitMessages
                                                           : LogFile::Unlimited);
    file->set_max_messages(cb_max_messages->currentText().toUInt());
    file->set_max_pretrigger_messages(combo_pre_trigger->currentText().toUInt());
    file->set_delete_empty_files(cb_delete_empty_files->isChecked());
    const int size_entry = cb_max_size->currentIndex();
    file->set_max_bytes(size_entry >= 0 && size_entry < max_size_entry_count ? max_size_entries[size_entry]
                                                                             : max_size_entries[0]);
    file->set_enable_trigger(cb_enable_trigger->isChecked());
    VyrTriggerList *triggers = VyrTriggerList::instance();
    file->set_trigger(triggers ? triggers->find(combo_trigger_name->currentText()) : nullptr);
    // The caller keeps what it is handed.
    (void)m_created.release();
    return file;
}

void VyrDialogLogToFile::polish()
{
    if (!current())
        set_created(LogFileFormat::create(combo_format->currentText().toUtf8().constData()));
    show_state();
}

bool VyrDialogLogToFile::event(QEvent *event)
{
    if (event->type() == QEvent::Polish)
        polish();
    return DialogLogToFileBase::event(event);
}

void VyrDialogLogToFile::set_created(std::unique_ptr<LogFile> file)
{
    m_created = std::move(file);
    m_current = m_created ? m_created.get() : m_loaded;
}

bool VyrDialogLogToFile::has_changed() const
{
    return m_options_changed || current() != m_loaded;
}

void VyrDialogLogToFile::reject()
{
    m_created.reset();
    m_current = m_loaded;
    DialogLogToFileBase::reject();
}

void VyrDialogLogToFile::show_state()
{
    const bool active = cb_enable_logging->isChecked();
    for (QWidget *widget :
         std::initializer_list<QWidget *>{combo_format, pb_popup_logfile, pb_select_logfile, bg_write_mode, bg_max_size,
                                          le_logfile_name, cb_delete_empty_files, cb_enable_trigger})
        widget->setEnabled(active);
    const LogFileFormat *format = format_of(current());
    pb_setup->setEnabled(active && format && (format->flags() & (LogFileFormat::Options | LogFileFormat::MoreOptions)));
    pb_ok->setEnabled(!active || !le_logfile_name->text().isEmpty());
    const bool triggered = active && cb_enable_trigger->isChecked();
    combo_pre_trigger->setEnabled(triggered);
    combo_trigger_name->setEnabled(triggered);
}

void VyrDialogLogToFile::format_changed()
{
    const LogFileFormat *format = format_of(current());
    const QString chosen = combo_format->currentText();
    if (!current() || !format || QString::fromStdString(format->name()) != chosen) {
        std::unique_ptr<LogFile> file = LogFileFormat::create(chosen.toUtf8().constData());
        if (file) {
            const QString extension = QString::fromStdString(file->format()->extension());
            set_created(std::move(file));
            le_logfile_name->setText(replace_extension(le_logfile_name->text(), extension));
        }
    }
    show_state();
}

void VyrDialogLogToFile::open_setup_dialog()
{
    if (LogFile *file = current(); file && file->setup_dialog(this))
        m_options_changed = true;
}

void VyrDialogLogToFile::open_logfile_file_dialog()
{
    const LogFileFormat *format = format_of(current());
    const QString extension =
        format ? QStringLiteral(".") + QString::fromStdString(format->extension()) : QStringLiteral(".log");
    QString name = desktop().choose_save_file(this, le_logfile_name->text(), QStringLiteral("*") + extension);
    if (name.isEmpty())
        return;
    if (QFileInfo::exists(name) && !desktop().is_writable(name)) {
        desktop().show_error(this, tr("Error"),
                             tr("Unable to open file '%1' for writing! Is the target path writable?").arg(name));
        return;
    }
    if (!name.toLower().endsWith(extension.toLower()))
        name += extension;
    le_logfile_name->setText(name);
}

void VyrDialogLogToFile::open_logfile_context_menu()
{
    const QString text = le_logfile_name->text();
    QFileInfo relative(text);
    const bool can_be_relative = !text.isEmpty() && make_path_relative(relative, QDir::currentPath()) == 1;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("logfile_context_menu"));
    menu.addAction(tr("Clear"), le_logfile_name, &QLineEdit::clear)->setEnabled(!text.isEmpty());
    menu.addAction(tr("Copy Selected Text to Clipboard"),
                   [this] { QApplication::clipboard()->setText(le_logfile_name->selectedText()); });
    menu.addSeparator();
    menu.addAction(tr("Make absolute path"),
                   [this, text] { le_logfile_name->setText(QFileInfo(text).absoluteFilePath()); })
        ->setEnabled(!text.isEmpty() && QFileInfo(text).isRelative());
    menu.addAction(tr("Make relative path"), [this, relative] { le_logfile_name->setText(relative.filePath()); })
        ->setEnabled(can_be_relative);
    menu.addSeparator();
    menu.addAction(tr("Edit"))->setEnabled(false);
    menu.exec(QCursor::pos());
}

void VyrDialogLogToFile::context_help()
{
    emit activate_help_context(QStringLiteral("CanLog"));
}
