#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace wk::ui {

/// The program's one way of showing a failure: a modal box with the error's text, the title
/// "Wikabay", an error icon and an OK button. Event handlers run through `guarded`; nothing else
/// catches errors.
namespace errors {

/// A window that answers some failures of its own in place of the error box, with a question of
/// its own (a change that another program's change refused, for one). `guarded` asks the window
/// of the widget it is given.
class Answerer {
public:
    virtual ~Answerer() = default;
    /// Returns true when the failure has been answered; false lets the error box show it.
    virtual bool answer(const std::exception& error) = 0;
};

/// The text as shown: a full stop is appended when the last character comes after the full stop
/// in character order (letters and digits do; "!" or ")" do not).
QString withFullStop(const QString& text);

/// Shows the error box for `text` over `parent`.
void show(QWidget* parent, const QString& text);

/// Runs `handler`; an exception ends it and is answered by the parent's window when that is an
/// Answerer that takes it, and shown by `show` otherwise. Returns false when it failed.
bool guarded(QWidget* parent, const std::function<void()>& handler);

} // namespace errors
} // namespace wk::ui
