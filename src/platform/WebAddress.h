#pragma once

#include <QString>

#include <optional>

namespace wk::platform {

/// The address to hand to the system for a stored website address, or nothing when it is not a
/// web or mail address. Accepted are addresses beginning with "http://", "https://", "ftp://" or
/// "mailto:" (any letter case), handed over as they are, and addresses beginning with "www.",
/// which get "http://" in front. Anything else (a local path, a program, "file:" or another
/// scheme) and any address holding a control character is refused.
std::optional<QString> webAddressToOpen(const QString& stored);

} // namespace wk::platform
