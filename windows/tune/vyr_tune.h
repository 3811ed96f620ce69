#pragma once
// The tune window: a signal view with Decrement, an edit field, Increment
// and Commit in its tool bar. The user moves the cursor to an output signal,
// types or steps a new value (for as many signals as wanted) and commits:
// every edited value then goes to its interface.
#include "windows/base/vyr_data_window.h"

class QLineEdit;
class QToolButton;
class VyrSignalValueValidator;
class VyrSignalView;

class VyrTune : public VyrDataWindow
{
    Q_OBJECT
public:
    static constexpr const char *class_key_text = "Tune";

    explicit VyrTune(QWidget *parent);
    ~VyrTune() override;

    // The window-type registry's factory: a window, read from the group when one is given.
    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);

    VyrSignalDisplayList *signal_display_list() const override;
    VyrSignalView *view() const { return m_view; }
    QLineEdit *edit_field() const { return m_edit; }

public slots:
    void write_configuration(QtbConfig *config) override;
    void startup() override;
    void state_changed() override;
    void update_signals() override;
    void interface_configuration_changed(const QString &interface_id) override;
    void input_field_changed();
    void edit_value(const QString &text);
    void edit_allowed(bool allowed);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    VyrSignalView *m_view = nullptr;
    QLineEdit *m_edit = nullptr;
    VyrSignalValueValidator *m_validator = nullptr;
    QToolButton *m_commit_button = nullptr;
    QToolButton *m_increment_button = nullptr;
    QToolButton *m_decrement_button = nullptr;
};
