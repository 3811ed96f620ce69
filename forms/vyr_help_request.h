#pragma once
// Dialogs ask for their help pages with their signal
// activate_help_context(const QString&); the page is shown by the slot of
// the same name on the application's main widget.
class QObject;

// Connects the dialog's help signal to the first top-level widget that has
// the slot; nothing when none has it.
void connect_help_to_main_widget(QObject *dialog);
