#include "platform/os/shift_jis.h"

#include "platform/os/windows/wide.h"

namespace tovani::os {

struct ShiftJisDecoder::State {};

ShiftJisDecoder::ShiftJisDecoder() : state_(std::make_unique<State>()) {
    if (!::IsValidCodePage(932)) unusable_ = "no Shift_JIS decoder (code page 932 is not installed)";
}

ShiftJisDecoder::~ShiftJisDecoder() = default;

namespace {

constexpr UINT ShiftJis = 932;

bool leadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

int wideLength(std::string_view raw) {
    return ::MultiByteToWideChar(ShiftJis, MB_ERR_INVALID_CHARS, raw.data(), static_cast<int>(raw.size()), nullptr, 0);
}

// Where the first character the code page refuses starts, from 1, and
// whether it is cut off by the end of the text.
size_t firstBadCharacter(std::string_view raw, bool& incomplete) {
    for (size_t i = 0; i < raw.size();) {
        const size_t length = leadByte(static_cast<unsigned char>(raw[i])) ? 2 : 1;
        if (i + length > raw.size()) {
            incomplete = true;
            return i + 1;
        }
        if (wideLength(raw.substr(i, length)) <= 0) return i + 1;
        i += length;
    }
    return raw.size();
}

}  // namespace

bool ShiftJisDecoder::decode(std::string_view raw, std::string& out, std::string& problem) {
    out.clear();
    if (raw.empty()) return true;
    if (!unusable_.empty()) {
        problem = unusable_;
        return false;
    }
    const int n = wideLength(raw);
    if (n <= 0) {
        bool incomplete = false;
        const size_t at = firstBadCharacter(raw, incomplete);
        problem = (incomplete ? "incomplete Shift_JIS character at byte " : "bytes that are not Shift_JIS text at byte ") +
                  std::to_string(at);
        return false;
    }
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(ShiftJis, MB_ERR_INVALID_CHARS, raw.data(), static_cast<int>(raw.size()), text.data(), n);
    out = utf8(text);
    return true;
}

}  // namespace tovani::os
