#include "ui/ActivationTracker.h"

#include "ui/FormBase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <memory>
#include <utility>

namespace wk::ui {

FormBase* formOfWindow(QWindow* window) {
    if (!window)
        return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == window)
            return qobject_cast<FormBase*>(w);
    return nullptr;
}

void ActivationTracker::install() {
    static ActivationTracker* tracker = nullptr;
    if (tracker)
        return;
    tracker = new ActivationTracker(qApp);
    qApp->installEventFilter(tracker);
    connect(qApp, &QGuiApplication::focusWindowChanged, tracker,
            &ActivationTracker::focusWindowChanged);
}

ActivationTracker::ActivationTracker(QObject* parent) : QObject(parent) {
}

void ActivationTracker::focusWindowChanged(QWindow* window) {
    FormBase* form = formOfWindow(window);
    if (!form || !owes(form))
        return;
    arrive(form);
    // The work itself runs from the event loop, outside the window system's activation, unless
    // a press or key reaches the form first.
    QTimer::singleShot(0, this, &ActivationTracker::settle);
}

bool ActivationTracker::owes(const FormBase* form) const {
    // What counts is the form that was active last: coming back to it from a message box, a
    // dialog or another application does not run its activation, but arriving at another form,
    // whatever came in between, does.
    return form != lastForm_ || form->activationPending();
}

void ActivationTracker::arrive(FormBase* form) {
    settle();
    lastForm_ = form;
    owed_ = form;
}

void ActivationTracker::settle() {
    if (QPointer<FormBase> form = std::exchange(owed_, nullptr))
        form->activateFromOtherWindow();
}

bool ActivationTracker::settleBefore(QWidget* widget, QEvent* event) {
    auto* form = qobject_cast<FormBase*>(widget->window());
    if (!form || QApplication::activeModalWidget())
        return false;
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (owed_ != form) {
        // A press on a form that is not the active one makes it active.
        if (!press || form->isActiveWindow() || !owes(form))
            return false;
        arrive(form);
    }
    // The form's own focus control: a press on an inactive form has set it, though the
    // application's focus is still elsewhere.
    QWidget* focusBefore = form->focusWidget();
    settle();
    QWidget* focus = form->focusWidget();
    if (focus == focusBefore || !focus)
        return false;
    if (press) {
        // The press gave the focus to the control under it before it got here; the activation
        // has moved it since, and the click's choice comes last.
        if (focusBefore && (focusBefore == widget || focusBefore->isAncestorOf(widget)))
            focusBefore->setFocus(Qt::MouseFocusReason);
        return false;
    }
    const std::unique_ptr<QEvent> moved(event->clone());
    QApplication::sendEvent(focus, moved.get());
    return true;
}

bool ActivationTracker::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::MouseButtonPress &&
         type != QEvent::MouseButtonDblClick) ||
        !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (type != QEvent::KeyPress)
        return settleBefore(widget, event);
    // The filter sees a key again for every parent it propagates to; act on the first receiver.
    QWidget* focus = QApplication::focusWidget();
    if (focus ? widget != focus : !widget->isWindow())
        return false;
    if (settleBefore(widget, event))
        return true;
    auto* form = qobject_cast<FormBase*>(widget->window());
    if (!form || QApplication::activeModalWidget())
        return false;
    return form->previewKey(static_cast<QKeyEvent*>(event));
}

} // namespace wk::ui
