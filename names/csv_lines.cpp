#include "names/csv_lines.h"

#include "platform/os/paths.h"

namespace tovani {

CsvLineReader::CsvLineReader() = default;

CsvLineReader::~CsvLineReader() { close(); }

bool CsvLineReader::open(const std::string& path) {
    close();
    lineNumber_ = 0;
    problem_.clear();
    decoder_ = std::make_unique<os::ShiftJisDecoder>();
    if (!decoder_->unusable().empty()) {
        problem_ = decoder_->unusable();
        close();
        return false;
    }
    in_.open(os::osPath(path), std::ios::binary);
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
    if (!in_.is_open() || !decoder_ || !std::getline(in_, raw)) return Result::End;
    ++lineNumber_;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (!decoder_->decode(raw, line, problem_)) return Result::Error;
    return Result::Line;
}

void CsvLineReader::close() {
    if (in_.is_open()) in_.close();
    in_.clear();
    decoder_.reset();
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
