#pragma once

#include <string>

// The log never holds a secret in clear. Every logged command body goes
// through maskSecretValues, which replaces the value of each parameter whose
// key names a password, passphrase, PIN, PUK or password token with "***".
// Keys, other values and the body's layout are kept as they are.

// True for keys such as "password", "sip_password2", "passphrase",
// "remote_access_pwd", "pin", "puk2", "upw"; false for flags about a secret
// ("pin_persistent").
bool isSecretKey(const std::string& key);

std::string maskSecretValues(const std::string& body);

// The body as it may be logged: the body itself when none of its keys can
// name a secret, else its masked copy, kept in scratch.
const std::string& loggableBody(const std::string& body, std::string& scratch);
