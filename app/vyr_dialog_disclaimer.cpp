#include "app/vyr_dialog_disclaimer.h"

#include "core/widgets/form_support.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStackedWidget>
#include <QTextBrowser>

VyrDialogDisclaimer::VyrDialogDisclaimer(QWidget *parent, const char *name, bool modal)
    : DialogDisclaimerBase(parent, name, modal, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint)
{}

void VyrDialogDisclaimer::show_text(const QString &text)
{
    setSizeGripEnabled(true);
    tb_text->setHtml(text);
    widget_stack->setCurrentWidget(page_text);
    // One colour for the whole notice area.
    const QColor notice_colour = form::background(tb_text);
    form::set_background(this, notice_colour);
    form::set_background(tl_header, notice_colour);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int w = screen.width() / 2;
    const int h = screen.height() / 2;
    resize(w, h);
    move(w - w / 2, h - h / 2);
}
