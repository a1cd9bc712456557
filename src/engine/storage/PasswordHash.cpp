#include "engine/storage/PasswordHash.h"

#include "engine/base/EngineError.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace wk::engine::password {
namespace {

constexpr int kIterations = 20000;

std::string toHex(const unsigned char* data, size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

} // namespace

std::string hash(const std::string& password, const std::string& saltHex) {
    unsigned char key[32];
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(saltHex.data()),
                          static_cast<int>(saltHex.size()), kIterations, EVP_sha256(), sizeof key,
                          key) != 1)
        throw EngineError(ErrorCode::General, "Cannot compute a password hash");
    return toHex(key, sizeof key);
}

std::string newSalt() {
    unsigned char salt[16];
    if (RAND_bytes(salt, sizeof salt) != 1)
        throw EngineError(ErrorCode::General, "Cannot make a password salt");
    return toHex(salt, sizeof salt);
}

bool anyMatches(const std::vector<std::string>& passwords, const std::string& saltHex,
                const std::string& stored) {
    for (const std::string& p : passwords)
        if (hash(p, saltHex) == stored)
            return true;
    return false;
}

} // namespace wk::engine::password
