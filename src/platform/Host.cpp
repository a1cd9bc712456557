#include "platform/Host.h"

#include <QWidget>

#include <stdexcept>

namespace wk::platform {
namespace {

std::unique_ptr<Host>& current() {
    static std::unique_ptr<Host> host;
    return host;
}

} // namespace

Host& host() {
    if (!current())
        throw std::logic_error("No host system interface is installed");
    return *current();
}

Host& setHost(std::unique_ptr<Host> host) {
    current() = std::move(host);
    return *current();
}

QWidget* applicationWindow() {
    static QWidget* window = [] {
        auto* w = new QWidget(nullptr, Qt::Window);
        w->setWindowTitle(QStringLiteral("Wikabay"));
        w->setAttribute(Qt::WA_DontShowOnScreen);
        return w;
    }();
    return window;
}

} // namespace wk::platform
