#pragma once

#include "platform/Host.h"

#include <memory>

namespace wk::platform {

/// The host for a desktop session: addresses go to the desktop's handlers (the web browser, the
/// mail program), help to the program's own help viewer, and the beep to the application's.
/// Needs a QApplication.
std::unique_ptr<Host> makeDesktopHost();

} // namespace wk::platform
