#include "platform/DesktopHost.h"

#include "platform/HelpViewer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace wk::platform {
namespace {

class DesktopHost : public Host {
public:
    bool openAddress(const QString& address, ShowMode /*mode*/) override {
        // The desktop's handler decides how its window is shown; there is no way to ask for a
        // maximised one on Linux, so the show mode goes unused here.
        return QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
    }

    void htmlHelp(QWidget* owner, const QString& file, unsigned command, quintptr data) override {
        showHelp(owner, file, command, data);
    }

    void beep() override { QApplication::beep(); }
};

} // namespace

std::unique_ptr<Host> makeDesktopHost() {
    return std::make_unique<DesktopHost>();
}

} // namespace wk::platform
