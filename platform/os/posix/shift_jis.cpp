#include "platform/os/shift_jis.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace tovani::os {

struct ShiftJisDecoder::State {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
};

ShiftJisDecoder::ShiftJisDecoder() : state_(std::make_unique<State>()) {
    state_->cd = ::iconv_open("UTF-8", "CP932");
    if (state_->cd == reinterpret_cast<iconv_t>(-1))
        unusable_ = std::string("no Shift_JIS decoder (") + std::strerror(errno) + ")";
}

ShiftJisDecoder::~ShiftJisDecoder() {
    if (state_->cd != reinterpret_cast<iconv_t>(-1)) ::iconv_close(state_->cd);
}

bool ShiftJisDecoder::decode(std::string_view raw, std::string& out, std::string& problem) {
    out.clear();
    if (raw.empty()) return true;
    if (!unusable_.empty()) {
        problem = unusable_;
        return false;
    }
    ::iconv(state_->cd, nullptr, nullptr, nullptr, nullptr);  // fresh state for each text
    // UTF-8 needs at most three bytes for each Shift_JIS byte.
    std::string buf(raw.size() * 3 + 4, '\0');
    char* inPtr = const_cast<char*>(raw.data());
    size_t inLeft = raw.size();
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    if (::iconv(state_->cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        const size_t at = raw.size() - inLeft + 1;
        problem = (errno == EINVAL ? "incomplete Shift_JIS character at byte " : "bytes that are not Shift_JIS text at byte ") +
                  std::to_string(at);
        return false;
    }
    buf.resize(buf.size() - outLeft);
    out = std::move(buf);
    return true;
}

}  // namespace tovani::os
