#include "engine/config/EnginePaths.h"

#include <cctype>
#include <cstdlib>

namespace wk::engine::paths {
namespace {

std::filesystem::path home() {
    if (const char* h = std::getenv("HOME"); h && *h)
        return h;
    return std::filesystem::temp_directory_path();
}

std::filesystem::path fromEnv(const char* variable, const std::filesystem::path& fallback) {
    const char* value = std::getenv(variable);
    // A relative value is invalid by the XDG rules and is ignored.
    if (value && *value && std::filesystem::path(value).is_absolute())
        return value;
    return fallback;
}

constexpr const char* kFolder = "wikabay-engine";

} // namespace

#ifdef _WIN32
std::filesystem::path configDir() {
    return fromEnv("APPDATA", home() / "AppData" / "Roaming") / kFolder;
}
std::filesystem::path dataDir() {
    return configDir() / "data";
}
#else
std::filesystem::path configDir() {
    return fromEnv("XDG_CONFIG_HOME", home() / ".config") / kFolder;
}
std::filesystem::path dataDir() {
    return fromEnv("XDG_DATA_HOME", home() / ".local" / "share") / kFolder;
}
#endif

std::filesystem::path configFile() {
    return configDir() / "engine.cfg";
}

std::filesystem::path toNative(const std::string& configuredPath) {
#ifdef _WIN32
    return std::filesystem::path(configuredPath);
#else
    std::string p = configuredPath;
    for (char& c : p)
        if (c == '\\')
            c = '/';
    const bool drive = p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) &&
                       p[1] == ':' && (p.size() == 2 || p[2] == '/');
    if (!drive)
        return std::filesystem::path(p);
    std::string letter(1, static_cast<char>(std::tolower(static_cast<unsigned char>(p[0]))));
    std::filesystem::path out = dataDir() / "drives" / letter;
    std::string rest = p.size() > 3 ? p.substr(3) : std::string();
    if (!rest.empty())
        out /= rest;
    return out;
#endif
}

} // namespace wk::engine::paths
