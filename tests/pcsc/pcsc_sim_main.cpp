// tovani-pcsc-sim [--reader KEY] FOLDER [PORT]
// tovani-pcsc-sim --readers
//
// A simulated PC/SC reader with FeliCa for trying the PC/SC path by hand and
// for tests outside this build (a Wine root): connects to the vpcd driver of
// a running pcscd (port 35963 unless given) and serves the card of a
// card-image folder until standard input ends. --reader plays one of the
// readers --readers lists (key, then the name to give pcscd for it, which
// chooses the program's route); the plain reader unless given.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "vpcd_card.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: tovani-pcsc-sim [--reader KEY] FOLDER [PORT]\n       tovani-pcsc-sim --readers\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using tovani::test::NamedReader;
    if (argc == 2 && std::strcmp(argv[1], "--readers") == 0) {
        for (const NamedReader& r : tovani::test::namedReaders()) std::printf("%s\t%s\n", r.key.c_str(), r.name.c_str());
        return 0;
    }
    const NamedReader* reader = tovani::test::findNamedReader("plain");
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--reader") == 0) {
        reader = tovani::test::findNamedReader(argv[2]);
        if (!reader) {
            std::fprintf(stderr, "tovani-pcsc-sim: no reader called %s (--readers lists them)\n", argv[2]);
            return 2;
        }
        first = 3;
    }
    if (argc - first < 1 || argc - first > 2 || argv[first][0] == '-') return usage();
    const char* folder = argv[first];
    long port = 35963;
    if (argc - first == 2) {
        char* end = nullptr;
        port = std::strtol(argv[first + 1], &end, 10);
        if (!end || *end || port < 1 || port > 65535) {
            std::fprintf(stderr, "tovani-pcsc-sim: %s is not a port number\n", argv[first + 1]);
            return 2;
        }
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        std::fprintf(stderr, "tovani-pcsc-sim: %s is not a folder\n", folder);
        return 2;
    }
    tovani::test::VpcdCard card(folder, static_cast<uint16_t>(port), reader->profile);
    std::printf("serving %s as \"%s\" to vpcd on port %ld; end with Ctrl-D\n", folder, reader->name.c_str(), port);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
