#include "windows/triggers/vyr_dialog_trigger_cond_settings.h"

#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_can.h"
#include "core/vyr_trigger_cond_key.h"
#include "core/vyr_trigger_cond_signal.h"
#include "core/vyr_trigger_cond_timer.h"
#include "forms/vyr_help_request.h"
#include "windows/triggers/vyr_window_trigger_cond_can.h"
#include "windows/triggers/vyr_window_trigger_cond_key.h"
#include "windows/triggers/vyr_window_trigger_cond_signal.h"
#include "windows/triggers/vyr_window_trigger_cond_timer.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
void (*g_dialog_observer)(VyrDialogTriggerCondSettings *) = nullptr;
}

VyrDialogTriggerCondSettings::VyrDialogTriggerCondSettings(QWidget *parent, const VyrTriggerCondKind *kind)
    : QDialog(parent)
{
    setModal(true);
    setWindowTitle(tr("Trigger Condition Settings"));
    auto *layout = new QVBoxLayout(this);
    m_editor = kind ? kind->create_editor(this) : nullptr;
    if (m_editor) {
        // The editor keeps the size its form gives it.
        m_editor->setMinimumSize(m_editor->size());
        layout->addWidget(m_editor);
    }
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    auto *buttons = new QHBoxLayout();
    m_ok = new QPushButton(tr("OK"), this);
    m_ok->setObjectName(QStringLiteral("pb_ok"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("pb_cancel"));
    m_help = new QPushButton(tr("&Help"), this);
    m_help->setObjectName(QStringLiteral("pb_help"));
    buttons->addWidget(m_help);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, [this] { emit activate_help_context(QStringLiteral("TriggerList")); });
    connect_help_to_main_widget(this);
    if (m_editor) {
        connect(this, SIGNAL(signal_set_cond_data(VyrTriggerCondData *)), m_editor,
                SLOT(set_cond_data(VyrTriggerCondData *)));
        connect(this, SIGNAL(signal_get_cond_data(VyrTriggerCondData *)), m_editor,
                SLOT(get_cond_data(VyrTriggerCondData *)));
    }
}

void edit_cond_data(QWidget *parent, VyrTriggerCondData *data)
{
    const VyrTriggerCondKind *kind = data ? VyrTriggerCondKind::find(data->kind()) : nullptr;
    if (!kind)
        return;
    VyrDialogTriggerCondSettings dialog(parent, kind);
    emit dialog.signal_set_cond_data(data);
    if (g_dialog_observer)
        g_dialog_observer(&dialog);
    if (dialog.exec() == QDialog::Accepted)
        emit dialog.signal_get_cond_data(data);
}

void set_trigger_cond_dialog_observer(void (*observer)(VyrDialogTriggerCondSettings *dialog))
{
    g_dialog_observer = observer;
}

void install_trigger_cond_editors()
{
    VyrTriggerCondKind::set_editor_factory(VyrTriggerCondDataCan::kind_number, [](QWidget *parent) -> QWidget * {
        return new VyrWindowTriggerCondCan(parent, "trigger_cond_can");
    });
    VyrTriggerCondKind::set_editor_factory(VyrTriggerCondDataKey::kind_number, [](QWidget *parent) -> QWidget * {
        return new VyrWindowTriggerCondKey(parent, "trigger_cond_key");
    });
    VyrTriggerCondKind::set_editor_factory(VyrTriggerCondDataSignal::kind_number, [](QWidget *parent) -> QWidget * {
        return new VyrWindowTriggerCondSignal(parent, "trigger_cond_signal");
    });
    VyrTriggerCondKind::set_editor_factory(VyrTriggerCondDataTimer::kind_number, [](QWidget *parent) -> QWidget * {
        return new VyrWindowTriggerCondTimer(parent, "trigger_cond_timer");
    });
}
