#include "platform/felica/pcsc/pcsc_system.h"

#include <winscard.h>

namespace tovani::felica::pcsc_system {

const char* const serviceName = "pcscd";

std::string errorName(Result rv) { return pcsc_stringify_error(static_cast<LONG>(rv)); }

Result Context::readers(std::vector<std::string>& names) {
    names.clear();
    const auto context = static_cast<SCARDCONTEXT>(handle_);
    DWORD size = 0;
    LONG rv = SCardListReaders(context, nullptr, nullptr, &size);
    if (rv == SCARD_E_NO_READERS_AVAILABLE) return Success;
    if (rv != SCARD_S_SUCCESS) return static_cast<Result>(rv);
    std::vector<char> buffer(size + 1, '\0');
    rv = SCardListReaders(context, nullptr, buffer.data(), &size);
    if (rv == SCARD_E_NO_READERS_AVAILABLE) return Success;
    if (rv != SCARD_S_SUCCESS) return static_cast<Result>(rv);
    // A sequence of NUL-terminated names.
    for (size_t pos = 0; pos < size && buffer[pos] != '\0';) {
        std::string name(&buffer[pos]);
        pos += name.size() + 1;
        names.push_back(std::move(name));
    }
    return Success;
}

Result Context::states(const std::vector<std::string>& names, std::vector<ReaderStatus>& out) {
    out.assign(names.size(), ReaderStatus{});
    if (names.empty()) return Success;
    std::vector<SCARD_READERSTATE> states(names.size(), SCARD_READERSTATE{});
    for (size_t i = 0; i < names.size(); ++i) {
        states[i].szReader = names[i].c_str();
        states[i].dwCurrentState = SCARD_STATE_UNAWARE;
    }
    const LONG rv = SCardGetStatusChange(static_cast<SCARDCONTEXT>(handle_), 0, states.data(),
                                         static_cast<DWORD>(states.size()));
    if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) return static_cast<Result>(rv);
    for (size_t i = 0; i < names.size(); ++i) {
        const SCARD_READERSTATE& s = states[i];
        out[i].gone = s.dwEventState & (SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE | SCARD_STATE_UNAVAILABLE);
        out[i].present = s.dwEventState & SCARD_STATE_PRESENT;
        if (s.cbAtr <= sizeof s.rgbAtr) out[i].atr.assign(s.rgbAtr, s.rgbAtr + s.cbAtr);
    }
    return Success;
}

Result Card::connect(Context& context, const std::string& reader) {
    disconnect();
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    const LONG rv = SCardConnect(static_cast<SCARDCONTEXT>(context.handle_), reader.c_str(), SCARD_SHARE_SHARED,
                                 SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
    if (rv != SCARD_S_SUCCESS) return static_cast<Result>(rv);
    handle_ = static_cast<uintptr_t>(card);
    t0_ = protocol == SCARD_PROTOCOL_T0;
    connected_ = true;
    return Success;
}

}  // namespace tovani::felica::pcsc_system
