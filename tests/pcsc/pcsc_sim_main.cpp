// tovani-pcsc-sim FOLDER [PORT]
//
// A simulated PC/SC reader with FeliCa for trying the PC/SC path by hand:
// connects to the vpcd driver of a running pcscd (port 35963 unless given)
// and serves the card of a card-image folder until standard input ends.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "vpcd_card.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tovani-pcsc-sim FOLDER [PORT]\n");
        return 2;
    }
    long port = 35963;
    if (argc == 3) {
        char* end = nullptr;
        port = std::strtol(argv[2], &end, 10);
        if (!end || *end || port < 1 || port > 65535) {
            std::fprintf(stderr, "tovani-pcsc-sim: %s is not a port number\n", argv[2]);
            return 2;
        }
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(argv[1], ec)) {
        std::fprintf(stderr, "tovani-pcsc-sim: %s is not a folder\n", argv[1]);
        return 2;
    }
    tovani::test::VpcdCard card(argv[1], static_cast<uint16_t>(port));
    std::printf("serving %s to vpcd on port %ld; end with Ctrl-D\n", argv[1], port);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
