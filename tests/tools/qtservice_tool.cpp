// A service program on the service framework for the tests: its handlers
// print what they hear on standard output, its run serves an event loop
// until it is stopped. QTSERVICE_TOOL_NAME names the service ("vyrtest" when
// unset); QTSERVICE_TOOL_SECOND=1 makes a second framework object, which is
// a fatal error. "-service" runs the service as the unit starts it.
#include "lib/qtservice/qtservice.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

void say(const char *format, int number = 0)
{
    std::printf(format, number);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class ToolService : public QtService
{
public:
    explicit ToolService(const QString &name) : QtService(name, QStringLiteral("Service of the tests"), 1) {}

protected:
    int run(int, char **) override
    {
        say("run");
        return QCoreApplication::exec();
    }
    void stop() override
    {
        say("stop");
        QtService::stop();
    }
    void pause() override { say("pause"); }
    void resume() override { say("resume"); }
    void user(int code) override { say("user %d", code); }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QByteArray name = qgetenv("QTSERVICE_TOOL_NAME");
    ToolService service(name.isEmpty() ? QStringLiteral("vyrtest") : QString::fromUtf8(name));
    if (qgetenv("QTSERVICE_TOOL_SECOND") == "1")
        ToolService second(QStringLiteral("second"));
    // The unit's command line: "-service" runs the service, as in vyr.
    if (argc > 1 && qstrcmp(argv[1], "-service") == 0)
        return service.exec(1, argv);
    return service.exec(argc, argv);
}
