#pragma once

// Text of the legacy Windows code page 932 (Shift_JIS) to UTF-8: iconv on
// Linux, the system's own code page 932 on Windows. Bytes that are not
// Shift_JIS text are an error, never replaced.

#include <memory>
#include <string>
#include <string_view>

namespace tovani::os {

class ShiftJisDecoder {
public:
    ShiftJisDecoder();
    ~ShiftJisDecoder();
    ShiftJisDecoder(const ShiftJisDecoder&) = delete;
    ShiftJisDecoder& operator=(const ShiftJisDecoder&) = delete;

    // "" when the decoder can be used, else why not.
    const std::string& unusable() const { return unusable_; }

    // False with the reason in `problem` ("bytes that are not Shift_JIS text
    // at byte N", "incomplete Shift_JIS character at byte N", N from 1).
    bool decode(std::string_view raw, std::string& out, std::string& problem);

private:
    struct State;
    std::unique_ptr<State> state_;
    std::string unusable_;
};

}  // namespace tovani::os
