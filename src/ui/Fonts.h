#pragma once

#include <QFont>

namespace wk::ui {

/// The default font of every window: "MS Sans Serif" 11 pixels high where it is installed,
/// otherwise Liberation Sans, whose metrics keep every caption inside its control.
QFont defaultFont();

/// A font of the default family with another pixel size and weight.
QFont defaultFont(int pixelSize, bool bold);

/// Arial (Liberation Sans where Arial itself is missing) at a pixel size.
QFont arialFont(int pixelSize, bool bold);

} // namespace wk::ui
