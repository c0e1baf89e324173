// The CSV line reader with its Shift_JIS conversion over arbitrary files.
// Every line it hands over must be UTF-8 without a line break, and its
// fields must join back to the line.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "names/csv_lines.h"

using tovani::fuzz::check;

namespace {

bool validUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || s.size() - i < n) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// The reader takes a path: one file in memory per fuzzing process, opened
// again through its /proc name, so that nothing is left behind.
int scratchFile() {
    static const int fd = memfd_create("tovani-fuzz-csv", 0);
    check(fd >= 0, "a file in memory can be made");
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = scratchFile();
    check(ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size),
          "the input is written");
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    tovani::CsvLineReader reader;
    check(reader.open(path), "an existing file opens");
    std::string line;
    long lines = 0;
    for (;;) {
        const auto result = reader.next(line);
        if (result == tovani::CsvLineReader::Result::End) break;
        ++lines;
        check(reader.lineNumber() == lines, "lines are counted one by one");
        if (result == tovani::CsvLineReader::Result::Error) {
            check(!reader.problem().empty(), "a refused line says why");
            continue;
        }
        check(validUtf8(line), "a decoded line is UTF-8");
        check(line.find('\n') == std::string::npos, "a line has no line break");
        const auto fields = tovani::splitFields(line);
        std::string back = fields.front();
        for (size_t i = 1; i < fields.size(); ++i) back += "," + fields[i];
        check(back == line, "fields join back to the line");
    }
    check(static_cast<size_t>(lines) <= size, "no more lines than bytes");
    return 0;
}
