#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace wk::platform {

/// How a window opened by the host system is shown.
enum class ShowMode {
    Normal,   ///< as the system shows a new window (SW_SHOWNORMAL on Windows)
    Maximized ///< maximised (SW_SHOWMAXIMIZED on Windows)
};

/// Help viewer command that shows the table of contents (HH_DISPLAY_TOC).
inline constexpr unsigned kHelpDisplayToc = 1;

/// What the host system does for the program: open an address in the browser or mail program,
/// show the help file, sound the default beep. On Windows it calls the system; elsewhere it uses
/// the desktop's handlers and the program's own help viewer. Tests replace it with a recorder.
class Host {
public:
    virtual ~Host() = default;

    /// Hands `address` (a web page or a "mailto:" address) to the system to be opened. Returns
    /// false when the system says at once that it cannot open it (no program for it, or the
    /// program could not be started); whether the page or message then shows is not known.
    /// Windows go through openWebAddress (platform/WebAddress.h), which checks the address first
    /// and tells the user when it is refused or this returns false.
    virtual bool openAddress(const QString& address, ShowMode mode) = 0;

    /// Asks the help viewer to run `command` with `data` on the help file `file` (a bare file name
    /// is looked for next to the executable), owned by `owner`. The result is not examined.
    virtual void htmlHelp(QWidget* owner, const QString& file, unsigned command, quintptr data) = 0;

    /// Sounds the system's default beep.
    virtual void beep() = 0;
};

/// The host in use. Before `setHost` the program's entry installs the desktop host.
Host& host();

/// Replaces the host; the previous one is destroyed. Returns the new one.
Host& setHost(std::unique_ptr<Host> host);

/// The application's hidden owner window: the top-level window, titled "Wikabay", that stands
/// for the application as a whole (it owns the help viewer, not any one form).
QWidget* applicationWindow();

} // namespace wk::platform
