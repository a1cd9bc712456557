#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QAbstractButton;

namespace wk::engine {
class Dataset;
}
class QKeyEvent;

namespace wk::ui {

/// What every window of the program shares: a title bar with the system menu and the close box
/// only (a window adds a minimise box with setWindowFlag), a fixed client size, the default font,
/// key preview
/// (the window sees each key before the focused control), Escape closing secondary windows,
/// plain-letter accelerators while the focused control takes no typing, the busy caption, and
/// the hooks `formActivate` and `formClose` run through the default error handler.
///
/// `formActivate` runs when the window becomes the application's active window coming from
/// another of the program's own windows, or at its first activation after being shown; it does
/// not run again when a message box closes or the user comes back from another application.
class FormBase : public QWidget {
    Q_OBJECT
public:
    explicit FormBase(QWidget* parent = nullptr);

    /// Fixes the client area at `width` x `height`.
    void setClientSize(int width, int height);
    /// Places the window's outer (frame) top-left corner.
    void setOuterPos(int left, int top);
    /// Places the window at the point `placement` gives, now and again at its first activation,
    /// when the outer sizes of the windows it is placed against are known.
    void setPlacement(const std::function<QPoint()>& placement);
    int outerWidth() const;
    int outerHeight() const;

    /// "Wikabay - PLEASE WAIT...", painted at once.
    void setBusyCaption();

    /// Shows the window modelessly, or brings it forward when it is shown, and activates it.
    void showForm();

    /// Asks the window whether it may close now (formCloseQuery, through the error handler)
    /// without closing it: what it holds is stored, or the user is asked. False keeps it open.
    bool mayClose();

    /// Runs `handler` through the default error handler; false when it failed.
    bool guarded(const std::function<void()>& handler);

    /// Runs `handler` through the error handler whenever the window becomes active, from
    /// another window of the program or from another program, once the activation is done (a
    /// box it shows takes the activation itself).
    void whenActivated(const std::function<void()>& handler);

    /// Runs `readAgain` when a table that `dataset` reads was imported anew since the dataset
    /// opened (Dataset::tableReplaced): looked at whenever the window becomes active, and every
    /// second while it stays active (whileActive; there only for table files, which answer at
    /// once, not for a server). The dataset must outlive the window's event handling (a member).
    void followImports(const engine::Dataset& dataset, const std::function<void()>& readAgain);

    /// Runs `look` through the error handler about once a second while the window is the
    /// active window and no box is open over the program: for changes made by other programs
    /// that the window must show as soon as they happen, not only at its next activation. A look
    /// is never started while another of this window's looks is still running (one that shows a
    /// box, for instance).
    void whileActive(const std::function<void()>& look);

    /// Called by the activation tracker; runs formActivate through the error handler.
    void activateFromOtherWindow();
    bool activationPending() const { return activationPending_; }

    /// The key preview: true when the key was handled by the window.
    bool previewKey(QKeyEvent* event);

protected:
    virtual void formActivate() {}
    /// Asked before the window closes; false keeps it open. Runs through the error handler, so
    /// a failure also keeps it open.
    virtual bool formCloseQuery() { return true; }
    virtual void formClose() {}
    /// A key seen before the focused control; return true to consume it. The default closes the
    /// window on Escape when it closes on Escape.
    virtual bool formKeyPress(QKeyEvent* event);

    void setClosesOnEscape(bool closes) { closesOnEscape_ = closes; }
    /// Lets the button's accelerator letter (from '&' in its text) work without Alt while the
    /// focused control takes no typed characters; Alt with the letter works from any control.
    void addPlainAccelerator(QAbstractButton* button);

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool focusTakesTyping() const;

    std::function<QPoint()> placement_;
    bool closesOnEscape_ = true;
    bool activationPending_ = false;
    std::vector<QAbstractButton*> plainAccelerators_;
    bool looking_ = false;
};

} // namespace wk::ui
