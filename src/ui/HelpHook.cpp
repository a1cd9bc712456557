#include "ui/HelpHook.h"

namespace wk::ui::help {
namespace {

Hook& hook() {
    static Hook h;
    return h;
}

QString& file() {
    static QString f;
    return f;
}

} // namespace

void setHook(Hook h) {
    hook() = std::move(h);
}

void setHelpFile(const QString& f) {
    file() = f;
}

const QString& helpFile() {
    return file();
}

bool request(quint16 command, qint32 data) {
    bool callHelp = true;
    if (hook())
        hook()(command, data, callHelp);
    return callHelp;
}

} // namespace wk::ui::help
