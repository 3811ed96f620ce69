// Prints the networks loaded from description files as JSON (see
// candb_json.h). With one file the network itself; with several an object
// keyed by path. Each network also carries "result", "errors" and "warnings"
// of its reading. A file that cannot be read is named on standard error and
// left out; the exit code is then 1.
#include "tests/tools/candb_json.h"

#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>

namespace {

// Why the file cannot be read, or null when it was read.
const char *load_failure(const char *path, int result)
{
    const QFileInfo info(QString::fromLocal8Bit(path));
    if (!info.exists())
        return "no such file";
    if (info.isDir())
        return "is a directory";
    if (result == -2)
        return "no reader for its format";
    return result < 0 ? "cannot be read" : nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 2;
    }
    QJsonObject all;
    QJsonObject single;
    int exit_code = 0;
    for (int i = 1; i < argc; ++i) {
        CANdbNetwork net;
        candb_json::Collector collector;
        const int result = candb_json::load(argv[i], net, &collector);
        if (const char *why = load_failure(argv[i], result)) {
            std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[i], why);
            exit_code = 1;
            continue;
        }
        QJsonObject json = candb_json::network_json(net);
        json.insert("result", result);
        json.insert("errors", QJsonArray::fromStringList(collector.errors));
        json.insert("warnings", QJsonArray::fromStringList(collector.warnings));
        all.insert(QString::fromLocal8Bit(argv[i]), json);
        single = json;
    }
    if (argc > 2 || exit_code == 0) {
        const QJsonDocument document(argc == 2 ? single : all);
        const QByteArray bytes = document.toJson(QJsonDocument::Indented);
        std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout);
    }
    return exit_code;
}
