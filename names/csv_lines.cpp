#include "names/csv_lines.h"

#include <cerrno>
#include <cstring>

namespace tovani {

CsvLineReader::CsvLineReader() = default;

CsvLineReader::~CsvLineReader() { close(); }

bool CsvLineReader::open(const std::string& path) {
    close();
    lineNumber_ = 0;
    problem_.clear();
    cd_ = iconv_open("UTF-8", "CP932");
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
        problem_ = std::string("no Shift_JIS decoder (") + std::strerror(errno) + ")";
        return false;
    }
    in_.open(path, std::ios::binary);
    if (!in_) {
        problem_ = "cannot be opened for reading";
        close();
        return false;
    }
    return true;
}

CsvLineReader::Result CsvLineReader::next(std::string& line) {
    line.clear();
    std::string raw;
    // Neither "\n" nor "," can be the second byte of a Shift_JIS character,
    // so the raw bytes may be cut at them before decoding.
    if (!in_.is_open() || !std::getline(in_, raw)) return Result::End;
    ++lineNumber_;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (!decode(raw, line)) return Result::Error;
    return Result::Line;
}

bool CsvLineReader::decode(const std::string& raw, std::string& out) {
    out.clear();
    if (raw.empty()) return true;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // fresh state for each line
    // UTF-8 needs at most three bytes for each Shift_JIS byte.
    std::string buf(raw.size() * 3 + 4, '\0');
    char* inPtr = const_cast<char*>(raw.data());
    size_t inLeft = raw.size();
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        const size_t at = raw.size() - inLeft + 1;
        problem_ = (errno == EINVAL ? "incomplete Shift_JIS character at byte "
                                    : "bytes that are not Shift_JIS text at byte ") +
                   std::to_string(at);
        return false;
    }
    buf.resize(buf.size() - outLeft);
    out = std::move(buf);
    return true;
}

void CsvLineReader::close() {
    if (in_.is_open()) in_.close();
    in_.clear();
    if (cd_ != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(cd_);
        cd_ = reinterpret_cast<iconv_t>(-1);
    }
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        if (comma == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}

}  // namespace tovani
