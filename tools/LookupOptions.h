#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace wk::tools {

/// A command line of wikabay-lookup that cannot be run; the message says why, without the
/// words looked up.
struct LookupUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// wikabay-lookup's usage, as -h and a usage error print it.
extern const char* const kLookupUsage;

/// What a command line of wikabay-lookup asks for.
struct LookupOptions {
    enum class Action { LookUp, Help, Version };
    enum class Format { Text, Json, Html };

    Action action = Action::LookUp;
    std::string alias = "Wikabay";
    std::optional<std::string> password;
    size_t limit = 10;
    Format format = Format::Text;
    std::vector<std::string> words; ///< each valid UTF-8

    /// Reads the arguments after the program's name. An option's value follows it as the next
    /// argument or after '=' (`--limit 5`, `--limit=5`); `--` ends the options, so that the words
    /// after it may begin with '-'; a lone `-` is a word. `-h`, `--help` and `--version` give
    /// their action at once, without words. Raises LookupUsageError for an unknown option, a
    /// missing or bad value, no word, or a word that is not valid UTF-8 (named by its position
    /// among the arguments, counting from 1).
    static LookupOptions parse(const std::vector<std::string>& args);
};

} // namespace wk::tools
