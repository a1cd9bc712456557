#pragma once

#include <QObject>
#include <QPointer>
#include <QWindow>

#include "ui/FormBase.h"

namespace wk::ui {

/// Watches which window of the application is active and tells a FormBase when it becomes active
/// coming from another of the program's windows, and gives every form its key preview.
///
/// A form's activation work always runs before the click or key that came with the activation:
/// it runs soon after the window becomes active, and at once when a mouse press or key reaches
/// the form first, so that the input acts on the reloaded window. A press on an inactive form
/// (which the window manager may deliver before it reports the activation) counts as its
/// activation. A key whose focus the activation moved goes to the newly focused control.
class ActivationTracker : public QObject {
    Q_OBJECT
public:
    /// Installs the one tracker on the application (once).
    static void install();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ActivationTracker(QObject* parent);
    void focusWindowChanged(QWindow* window);
    /// Whether arriving at `form` runs its activation work.
    bool owes(const FormBase* form) const;
    /// Notes that `form` is arriving and that its activation work is owed.
    void arrive(FormBase* form);
    /// Runs the activation work that is owed, if any.
    void settle();
    /// Settles what the press or key `event` on `widget` needs settled first. True when the
    /// event was handed on to another control and is done with.
    bool settleBefore(QWidget* widget, QEvent* event);

    QPointer<FormBase> lastForm_;
    QPointer<FormBase> owed_;
};

/// The form whose window is `window`, or nullptr.
FormBase* formOfWindow(QWindow* window);

} // namespace wk::ui
