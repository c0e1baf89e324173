#pragma once

// Reads a CSV file of the legacy Windows code page (Shift_JIS, code page 932)
// line by line and hands each line over as UTF-8.

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/shift_jis.h"

namespace tovani {

class CsvLineReader {
public:
    CsvLineReader();
    ~CsvLineReader();
    CsvLineReader(const CsvLineReader&) = delete;
    CsvLineReader& operator=(const CsvLineReader&) = delete;

    // False when the file cannot be opened for reading (problem() says why).
    bool open(const std::string& path);

    enum class Result { Line, End, Error };
    // The next line, decoded to UTF-8, without its line break ("\n" or
    // "\r\n"). Error: the line is not Shift_JIS text (problem() says why).
    Result next(std::string& line);

    // 1-based number of the line last returned.
    long lineNumber() const { return lineNumber_; }
    const std::string& problem() const { return problem_; }

    void close();

private:
    std::ifstream in_;
    std::unique_ptr<os::ShiftJisDecoder> decoder_;
    long lineNumber_ = 0;
    std::string problem_;
};

// Splits at every ","; there is no quoting. "" gives one empty field.
std::vector<std::string> splitFields(const std::string& line);

}  // namespace tovani
