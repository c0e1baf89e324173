#include "platform/felica/pcsc/pcsc_system.h"

#include <windows.h>
#include <winscard.h>

#include <cstdio>

#include "platform/os/windows/wide.h"

namespace tovani::felica::pcsc_system {

const char* const serviceName = "the Smart Card service";

// winscard.dll has no text for its codes; the system's message table has
// most of them, else the code itself is said.
std::string errorName(Result rv) {
    const std::string text = os::systemMessage(static_cast<DWORD>(rv));
    if (text.starts_with("error 0x")) return text;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(rv)));
    return text + " (" + code + ")";
}

Result Context::readers(std::vector<std::string>& names) {
    names.clear();
    const auto context = static_cast<SCARDCONTEXT>(handle_);
    DWORD size = 0;
    LONG rv = SCardListReadersW(context, nullptr, nullptr, &size);
    if (rv == static_cast<LONG>(SCARD_E_NO_READERS_AVAILABLE)) return Success;
    if (rv != SCARD_S_SUCCESS) return static_cast<Result>(rv);
    std::vector<wchar_t> buffer(size + 1, L'\0');
    rv = SCardListReadersW(context, nullptr, buffer.data(), &size);
    if (rv == static_cast<LONG>(SCARD_E_NO_READERS_AVAILABLE)) return Success;
    if (rv != SCARD_S_SUCCESS) return static_cast<Result>(rv);
    for (size_t pos = 0; pos < size && buffer[pos] != L'\0';) {
        const std::wstring name(&buffer[pos]);
        pos += name.size() + 1;
        names.push_back(os::utf8(name));
    }
    return Success;
}

// The state bits are Windows' (pcsc-lite copies them); a state this call
// does not fill stays zero, which reads as neither gone nor present.
Result Context::states(const std::vector<std::string>& names, std::vector<ReaderStatus>& out) {
    out.assign(names.size(), ReaderStatus{});
    if (names.empty()) return Success;
    std::vector<std::wstring> wideNames;
    for (const std::string& n : names) wideNames.push_back(os::wide(n));
    std::vector<SCARD_READERSTATEW> states(names.size(), SCARD_READERSTATEW{});
    for (size_t i = 0; i < names.size(); ++i) {
        states[i].szReader = wideNames[i].c_str();
        states[i].dwCurrentState = SCARD_STATE_UNAWARE;
    }
    const LONG rv = SCardGetStatusChangeW(static_cast<SCARDCONTEXT>(handle_), 0, states.data(),
                                          static_cast<DWORD>(states.size()));
    if (rv != SCARD_S_SUCCESS && rv != static_cast<LONG>(SCARD_E_TIMEOUT)) return static_cast<Result>(rv);
    for (size_t i = 0; i < names.size(); ++i) {
        const SCARD_READERSTATEW& s = states[i];
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
    const LONG rv = SCardConnectW(static_cast<SCARDCONTEXT>(context.handle_), os::wide(reader).c_str(),
                                  SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
    if (rv != SCARD_S_SUCCESS) return static_cast<Result>(rv);
    handle_ = static_cast<uintptr_t>(card);
    t0_ = protocol == SCARD_PROTOCOL_T0;
    connected_ = true;
    return Success;
}

}  // namespace tovani::felica::pcsc_system
