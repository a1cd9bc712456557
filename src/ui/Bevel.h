#pragma once

#include <QFrame>

namespace wk::ui {

/// A lowered framed bevel behind other controls.
inline QFrame* makeBevel(QWidget* parent, const QRect& geometry) {
    auto* f = new QFrame(parent);
    f->setFrameStyle(QFrame::Box | QFrame::Sunken);
    f->setGeometry(geometry);
    f->lower();
    return f;
}

} // namespace wk::ui
