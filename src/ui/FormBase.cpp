#include "ui/FormBase.h"

#include "engine/sql/Dataset.h"
#include "ui/ActivationTracker.h"
#include "ui/ErrorHandler.h"
#include "ui/Fonts.h"
#include "ui/HelpHook.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTextEdit>
#include <QTimer>

#include <utility>

namespace wk::ui {

FormBase::FormBase(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setFont(defaultFont());
    setAutoFillBackground(true);
    ActivationTracker::install();
}

void FormBase::setClientSize(int width, int height) {
    setFixedSize(width, height);
}

void FormBase::setOuterPos(int left, int top) {
    move(left, top);
}

int FormBase::outerWidth() const {
    return frameGeometry().width();
}

int FormBase::outerHeight() const {
    return frameGeometry().height();
}

void FormBase::setBusyCaption() {
    setWindowTitle(QStringLiteral("Wikabay - PLEASE WAIT..."));
    repaint();
}

void FormBase::showForm() {
    show();
    raise();
    activateWindow();
}

void FormBase::activateFromOtherWindow() {
    activationPending_ = false;
    guarded([this] { formActivate(); });
}

bool FormBase::guarded(const std::function<void()>& handler) {
    return errors::guarded(this, handler);
}

void FormBase::whenActivated(const std::function<void()>& handler) {
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this, handler](QWindow* window) {
        if (window && window == windowHandle())
            QTimer::singleShot(0, this, [this, handler] { guarded(handler); });
    });
}

void FormBase::followImports(const engine::Dataset& dataset,
                             const std::function<void()>& readAgain) {
    whenActivated([&dataset, readAgain] {
        if (dataset.tableReplaced())
            readAgain();
    });
    whileActive([&dataset, readAgain] {
        if (dataset.tableReplacedNearby())
            readAgain();
    });
}

void FormBase::whileActive(const std::function<void()>& look) {
    auto* timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, [this, look] {
        if (looking_ || !isActiveWindow() || QApplication::activeModalWidget() ||
            QApplication::activePopupWidget())
            return;
        const QScopedValueRollback busy(looking_, true);
        guarded(look);
    });
    timer->start();
}

void FormBase::setPlacement(const std::function<QPoint()>& placement) {
    placement_ = placement;
    setOuterPos(placement().x(), placement().y());
}

void FormBase::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        activationPending_ = true;
    QWidget::showEvent(event);
}

void FormBase::changeEvent(QEvent* event) {
    // Window frames are known once the windows are on the screen: at its first activation the
    // window is placed again against the outer sizes of the others, then left where the user
    // puts it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && placement_) {
        const QPoint p = std::exchange(placement_, nullptr)();
        if (frameGeometry().topLeft() != p)
            setOuterPos(p.x(), p.y());
    }
    QWidget::changeEvent(event);
}

bool FormBase::mayClose() {
    bool may = false;
    return guarded([&] { may = formCloseQuery(); }) && may;
}

void FormBase::closeEvent(QCloseEvent* event) {
    if (!mayClose()) {
        event->ignore();
        return;
    }
    guarded([this] { formClose(); });
    event->accept();
}

bool FormBase::formKeyPress(QKeyEvent* event) {
    if (closesOnEscape_ && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return true;
    }
    return false;
}

void FormBase::addPlainAccelerator(QAbstractButton* button) {
    plainAccelerators_.push_back(button);
}

bool FormBase::focusTakesTyping() const {
    QWidget* focus = QApplication::focusWidget();
    return qobject_cast<QLineEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus) ||
           qobject_cast<QTextEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus);
}

bool FormBase::previewKey(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        // No control has a help context: the request goes to the application's help hook with
        // context 0, and nothing else happens.
        help::request(help::kHelpContext, 0);
        return true;
    }
    if (formKeyPress(event))
        return true;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    // Alt+letter reaches the button through its mnemonic; the plain letter comes here.
    const bool plain = mods == Qt::NoModifier || mods == Qt::ShiftModifier;
    if (event->key() < Qt::Key_A || event->key() > Qt::Key_Z || !plain || focusTakesTyping())
        return false;
    const QChar letter = QChar(u'A' + (event->key() - Qt::Key_A));
    for (QAbstractButton* b : plainAccelerators_) {
        const QString text = b->text();
        const qsizetype amp = text.indexOf(u'&');
        if (amp >= 0 && amp + 1 < text.size() && text[amp + 1].toUpper() == letter &&
            b->isVisible() && b->isEnabled()) {
            b->click();
            return true;
        }
    }
    return false;
}

} // namespace wk::ui
