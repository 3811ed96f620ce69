#pragma once
// The preferences dialog: one check box per program-wide switch. It reads
// and writes no preferences itself; its caller sets the boxes, runs it and
// stores what changed.
#include "forms/dialog_options_base.h"

class VyrDialogOptions : public DialogOptionsBase
{
    Q_OBJECT

public:
    explicit VyrDialogOptions(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                              Qt::WindowFlags flags = {});

    void set_text_labels(bool on);
    bool text_labels() const;
    void set_compiler_ok_message(bool on);
    bool compiler_ok_message() const;
    void set_disable_memory_optimization(bool on);
    bool disable_memory_optimization() const;
    void set_disable_splash_window(bool on);
    bool disable_splash_window() const;
    void set_disable_disclaimer_window(bool on);
    bool disable_disclaimer_window() const;

public slots:
    void help_context();

signals:
    void activate_help_context(const QString &key);
};
