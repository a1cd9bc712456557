#pragma once

#include <QString>

#include <functional>

namespace wk::ui::help {

/// The application's help hook: receives a help command and its data, and sets `callHelp` to
/// say whether the toolkit's own help handling should run afterwards.
using Hook = std::function<bool(quint16 command, qint32 data, bool& callHelp)>;

/// Help command for a context number, as F1 asks for the focused control's context.
inline constexpr quint16 kHelpContext = 1;

void setHook(Hook hook);
void setHelpFile(const QString& file);
const QString& helpFile();

/// Passes a help request to the hook. Returns true when the toolkit's own help handling would
/// run next; this program has none, so such a request shows nothing either.
bool request(quint16 command, qint32 data);

} // namespace wk::ui::help
