#include "model/secretvalue.h"

#include "link/tokencodec.h"

#include <climits>
#include <cstdlib>

namespace {

SecretTokenEncoder encoder = encryptToken;

using TokenFunction = int (*)(const char*, int, char**);

// The codec's result as a string; false when it failed.
bool convert(TokenFunction function, const std::string& in, std::string& out)
{
    if (in.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    char* buffer = nullptr;
    const int length = function(in.data(), static_cast<int>(in.size()), &buffer);
    if (length < 0 || !buffer)
        return false;
    out.assign(buffer, static_cast<std::size_t>(length));
    std::free(buffer);
    return true;
}

} // namespace

bool makeSecretToken(const std::string& plain, std::string& token)
{
    // A token is never empty, whatever the value.
    return convert(encoder, plain, token) && !token.empty();
}

std::string encryptSecretValue(const std::string& plain)
{
    std::string token;
    return makeSecretToken(plain, token) ? token : plain;
}

std::string decryptSecretValue(const std::string& token)
{
    std::string value;
    return convert(decryptToken, token, value) ? value : token;
}

SecretTokenEncoder setSecretTokenEncoder(SecretTokenEncoder replacement)
{
    const SecretTokenEncoder previous = encoder;
    encoder = replacement;
    return previous;
}
