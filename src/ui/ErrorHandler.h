#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace wk::ui {

/// The program's one way of showing a failure: a modal box with the error's text, the title
/// "Wikabay", an error icon and an OK button. Event handlers run through `guarded`; nothing else
/// catches errors.
namespace errors {

/// The text as shown: a full stop is appended when the last character comes after the full stop
/// in character order (letters and digits do; "!" or ")" do not).
QString withFullStop(const QString& text);

/// Shows the error box for `text` over `parent`.
void show(QWidget* parent, const QString& text);

/// Runs `handler`; an exception ends it and is shown by `show`. Returns false when it failed.
bool guarded(QWidget* parent, const std::function<void()>& handler);

} // namespace errors
} // namespace wk::ui
