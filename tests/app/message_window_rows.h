#pragma once
// The texts of the main window's message rows, as its copy to a file gives
// them ("counter<TAB>time<TAB>text"), after the window took what was logged
// (it takes new rows on its timer).
#include "app/vyr_main.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

inline QStringList message_window_rows(VyrMain &window)
{
    window.message_window()->display()->update();
    QTemporaryDir dir;
    const QString path = dir.filePath("rows.txt");
    window.message_window()->copy_all_messages_to_file(path);
    QFile file(path);
    QStringList texts;
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    for (const QString &line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
        texts << line.section('\t', 2).trimmed();
    return texts;
}
