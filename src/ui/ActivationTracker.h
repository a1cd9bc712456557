#pragma once

#include <QObject>
#include <QPointer>
#include <QWindow>

#include "ui/FormBase.h"

namespace wk::ui {

/// Watches which window of the application is active and tells a FormBase when it becomes active
/// coming from another of the program's windows, and gives every form its key preview.
class ActivationTracker : public QObject {
    Q_OBJECT
public:
    /// Installs the one tracker on the application (once).
    static void install();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ActivationTracker(QObject* parent);
    void focusWindowChanged(QWindow* window);

    QPointer<FormBase> lastForm_;
};

/// The form whose window is `window`, or nullptr.
FormBase* formOfWindow(QWindow* window);

} // namespace wk::ui
