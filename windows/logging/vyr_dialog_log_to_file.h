#pragma once
// The dialog in which the user sets up logging to a file for a window: on
// or off, the format, the file name, how an existing file is treated, the
// size limit, deleting empty files and the trigger with its pre-trigger
// window. It edits a LogFile and makes a new one when the user picks
// another format.
//
// Use: load (the window's LogFile or null), polish, exec; after acceptance
// apply returns the LogFile to keep. When that is not the loaded one, the
// caller owns it from then on and deletes the loaded one.
#include "forms/dialog_log_to_file_base.h"

#include <QString>

#include <memory>

class LogFile;

class VyrDialogLogToFile : public DialogLogToFileBase
{
    Q_OBJECT
public:
    // Bytes of the entries of the maximum file size box, in their order.
    static constexpr uint32_t max_size_entries[] = {100000, 500000, 1000000, 5000000, 10000000, 50000000, 100000000};
    static constexpr int max_messages_limit = 100000000;
    static constexpr int max_pretrigger_limit = 50000;

    // What the dialog asks the desktop; tests replace them.
    struct Desktop
    {
        // A save-file dialog opening at start with the filter; empty when cancelled.
        QString (*choose_save_file)(QWidget *parent, const QString &start, const QString &filter);
        bool (*is_writable)(const QString &file);
        void (*show_error)(QWidget *parent, const QString &caption, const QString &text);
    };
    static Desktop &desktop();

    explicit VyrDialogLogToFile(QWidget *parent = nullptr, const char *name = nullptr, bool modal = true);
    ~VyrDialogLogToFile() override;

    void load(LogFile *file);
    // Writes the controls into the current LogFile and hands it over.
    LogFile *apply();
    // Makes a LogFile of the chosen format when none was loaded.
    void polish();
    bool has_changed() const;
    LogFile *current() const { return m_current; }

public slots:
    void show_state();
    void format_changed();
    void open_setup_dialog();
    void open_logfile_file_dialog();
    void open_logfile_context_menu();
    void context_help();
    void reject() override;

signals:
    void activate_help_context(const QString &key);

protected:
    bool event(QEvent *event) override;

private:
    // Replaces the current LogFile by one made here.
    void set_created(std::unique_ptr<LogFile> file);

    LogFile *m_loaded = nullptr;
    LogFile *m_current = nullptr;
    // The current LogFile while it was made here and not yet handed over.
    std::unique_ptr<LogFile> m_created;
    bool m_options_changed = false;
};
