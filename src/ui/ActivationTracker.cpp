#include "ui/ActivationTracker.h"

#include "ui/FormBase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

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
    if (!form)
        return;
    // What counts is the form that was active last: coming back to it from a message box, a
    // dialog or another application does not run its activation, but arriving at another form,
    // whatever came in between, does.
    const bool fromOtherForm = lastForm_ != form;
    lastForm_ = form;
    if (!form->activationPending() && !fromOtherForm)
        return;
    QPointer<FormBase> target(form);
    QTimer::singleShot(0, form, [target] {
        if (target)
            target->activateFromOtherWindow();
    });
}

bool ActivationTracker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    // The filter sees a key again for every parent it propagates to; act on the first receiver.
    QWidget* focus = QApplication::focusWidget();
    if (focus ? widget != focus : !widget->isWindow())
        return false;
    auto* form = qobject_cast<FormBase*>(widget->window());
    if (!form || QApplication::activeModalWidget())
        return false;
    return form->previewKey(static_cast<QKeyEvent*>(event));
}

} // namespace wk::ui
