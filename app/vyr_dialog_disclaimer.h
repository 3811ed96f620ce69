#pragma once
// The liability notice that start-up shows before the main window: a dialog
// without a title bar that stays on top and covers the middle half of the
// primary screen. "Accept" ends it with 1, "Decline" with 0.
#include "forms/dialog_disclaimer_base.h"

class VyrDialogDisclaimer : public DialogDisclaimerBase
{
    Q_OBJECT

public:
    VyrDialogDisclaimer(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false);

    // Shows the rich text as the notice and places the dialog on the screen.
    void show_text(const QString &text);
};
