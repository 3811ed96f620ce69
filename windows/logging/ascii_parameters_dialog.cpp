#include "windows/logging/ascii_parameters_dialog.h"

namespace {

AsciiParametersDialogFactory installed_factory = nullptr;

} // namespace

void set_ascii_parameters_dialog_factory(AsciiParametersDialogFactory factory)
{
    installed_factory = factory;
}

DialogLogToFileAsciiParameters *make_ascii_parameters_dialog(bool combined, QWidget *parent)
{
    return installed_factory ? installed_factory(combined, parent) : nullptr;
}
