// libFuzzer target of the ".cnp" import: any input is imported as a ".cnp"
// file; the panel it gives saves what reads back the same.
#include "panel_fuzz_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QString input_file_name()
{
    return QDir::temp().filePath(QStringLiteral("fuzz_cnp_import_%1.cnp").arg(QCoreApplication::applicationPid()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    panel_fuzz::start_application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString name = input_file_name();
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    const std::unique_ptr<VyrPanel> panel = panel_fuzz::new_panel();
    if (!panel->read_panel_from_file(name))
        std::abort(); // a file that can be read is always imported
    // Saved, the panel's caption is its own (an import keeps the file's).
    panel->setCaption(QStringLiteral("fuzz"));
    panel_fuzz::check_saves_what_it_reads_back(*panel);
    return 0;
}
