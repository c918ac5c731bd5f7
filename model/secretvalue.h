#pragma once

#include <string>

// Secrets (SIP and panel passwords) travel as tokens of the token codec.

// The token of plain; false when the codec could not make one.
bool makeSecretToken(const std::string& plain, std::string& token);
// The token of plain, or plain itself when no token could be made.
std::string encryptSecretValue(const std::string& plain);
// The value a token holds, or the token itself when it holds none.
std::string decryptSecretValue(const std::string& token);

// The encoder behind them (encryptToken unless replaced); returns the one it
// replaces. Lets callers' handling of a codec that cannot encode be run.
using SecretTokenEncoder = int (*)(const char* value, int length, char** token);
SecretTokenEncoder setSecretTokenEncoder(SecretTokenEncoder encoder);
