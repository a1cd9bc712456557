#pragma once

// Making an alias in the engine's configuration of this process (see EngineHome::makeCurrent).

#include "engine/config/Aliases.h"
#include "engine/config/ConfigStore.h"
#include "engine/config/ConfigTree.h"

#include <string>

namespace wk::testing {

/// Makes the alias `name`, or points it anew, at `target`: a folder of table files or a server's
/// URI.
inline void setAlias(const std::string& name, const std::string& target) {
    engine::ConfigStore().update(
        [&](engine::ConfigTree& t) { engine::aliases::set(t, name, target); });
}

} // namespace wk::testing
