// Prints scrambled forms of a few texts, one "<text>\t<hex>" line each, so the
// lab's unscrambler can be checked against the engine's scrambler.
#include <cstdio>
#include <string>

#include "util/account_scrambler.h"

int main(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        for (int round = 0; round < 3; ++round) {
            auto hex = voxline::scramble_account(argv[i]);
            if (!hex) {
                std::fprintf(stderr, "cannot scramble [%s]\n", argv[i]);
                status = 1;
                continue;
            }
            std::printf("%s\t%s\n", argv[i], hex->c_str());
        }
    }
    return status;
}
