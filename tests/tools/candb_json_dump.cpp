// Prints the networks loaded from description files as JSON (see
// candb_json.h). With one file the network itself; with several an object
// keyed by path. Each network also carries "result", "errors" and "warnings"
// of its reading.
#include "tests/tools/candb_json.h"

#include <QJsonDocument>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 2;
    }
    QJsonObject all;
    QJsonObject single;
    for (int i = 1; i < argc; ++i) {
        CANdbNetwork net;
        candb_json::Collector collector;
        const int result = candb_json::load(argv[i], net, &collector);
        QJsonObject json = candb_json::network_json(net);
        json.insert("result", result);
        json.insert("errors", QJsonArray::fromStringList(collector.errors));
        json.insert("warnings", QJsonArray::fromStringList(collector.warnings));
        all.insert(QString::fromLocal8Bit(argv[i]), json);
        single = json;
    }
    const QJsonDocument document(argc == 2 ? single : all);
    const QByteArray bytes = document.toJson(QJsonDocument::Indented);
    std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout);
    return 0;
}
