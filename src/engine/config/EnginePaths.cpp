#include "engine/config/EnginePaths.h"

#include "engine/base/EngineError.h"

#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace wk::engine::paths {
namespace {

// The user's home folder: HOME, or else the user database's entry of the user. A folder that
// anyone can write in, such as /tmp, is never taken instead: the configuration may hold
// passwords.
std::filesystem::path home() {
    if (const char* h = std::getenv("HOME"); h && *h)
        return h;
#ifdef _WIN32
    if (const char* h = std::getenv("USERPROFILE"); h && *h)
        return h;
    throw EngineError(ErrorCode::NotFound,
                      "Cannot find the user's home folder for the engine's files: neither HOME "
                      "nor USERPROFILE is set; set one of them, or APPDATA");
#else
    const uid_t uid = ::getuid();
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && std::filesystem::path(found->pw_dir).is_absolute())
        return found->pw_dir;
    throw EngineError(ErrorCode::NotFound,
                      "Cannot find the user's home folder for the engine's files: HOME is not set "
                      "and the user database gives no home folder for user id " +
                          std::to_string(uid) + "; set HOME, or XDG_CONFIG_HOME and XDG_DATA_HOME");
#endif
}

// The folder an XDG variable names, or the one `fallback` gives (asked only when needed, so that
// a variable that is set spares looking for the home folder).
std::filesystem::path fromEnv(const char* variable,
                              const std::function<std::filesystem::path()>& fallback) {
    const char* value = std::getenv(variable);
    // A relative value is invalid by the XDG rules and is ignored.
    if (value && *value && std::filesystem::path(value).is_absolute())
        return value;
    return fallback();
}

constexpr const char* kFolder = "wikabay-engine";

} // namespace

#ifdef _WIN32
std::filesystem::path configDir() {
    return fromEnv("APPDATA", [] { return home() / "AppData" / "Roaming"; }) / kFolder;
}
std::filesystem::path dataDir() {
    return configDir() / "data";
}
#else
std::filesystem::path configDir() {
    return fromEnv("XDG_CONFIG_HOME", [] { return home() / ".config"; }) / kFolder;
}
std::filesystem::path dataDir() {
    return fromEnv("XDG_DATA_HOME", [] { return home() / ".local" / "share"; }) / kFolder;
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
