// Developer tool: prints the token of a plain text, for texts the program
// keeps as tokens (such as the remote-access request head).
//   maketoken TEXT     token of TEXT
//   maketoken < FILE   token of the file's bytes, exactly as they are
#include "link/tokencodec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    const size_t limit = 65536;
    std::string text;
    if (argc == 2) {
        text = argv[1];
    } else if (argc == 1) {
        // Read one byte past the limit at most, so an endless input is refused, not held.
        char chunk[4096];
        while (text.size() <= limit) {
            const size_t n = std::fread(chunk, 1, sizeof chunk, stdin);
            if (n == 0)
                break;
            text.append(chunk, n);
        }
    } else {
        std::fprintf(stderr, "usage: %s [TEXT]   (without TEXT the text is read from standard input)\n", argv[0]);
        return 2;
    }
    if (text.size() > limit) {
        std::fprintf(stderr, "maketoken: text longer than %zu bytes\n", limit);
        return 1;
    }

    char* token = nullptr;
    const int length = encryptToken(text.data(), int(text.size()), &token);
    if (length < 0) {
        std::fprintf(stderr, "maketoken: encryption failed\n");
        return 1;
    }
    // Prove the token reads back before anyone stores it.
    char* back = nullptr;
    const int backLength = decryptToken(token, length, &back);
    const bool same = backLength == int(text.size()) && std::memcmp(back, text.data(), text.size()) == 0;
    std::free(back);
    if (!same) {
        std::free(token);
        std::fprintf(stderr, "maketoken: token does not read back\n");
        return 1;
    }
    std::printf("%s\n", token);
    std::fprintf(stderr, "%d characters for %zu bytes\n", length, text.size());
    std::free(token);
    return 0;
}
