// The calls that read the same on both systems' PC/SC: pcsc-lite keeps
// winscard.dll's names and types. The rest is pcsc_system_pcsclite.cpp's and
// pcsc_system_winscard.cpp's (UTF-16 calls on Windows).

#include "platform/felica/pcsc/pcsc_system.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <winscard.h>

namespace tovani::felica::pcsc_system {

Result Context::establish() {
    release();
    SCARDCONTEXT context = 0;
    const LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (rv != SCARD_S_SUCCESS) return static_cast<Result>(rv);
    handle_ = static_cast<uintptr_t>(context);
    established_ = true;
    return Success;
}

void Context::release() {
    if (established_) SCardReleaseContext(static_cast<SCARDCONTEXT>(handle_));
    established_ = false;
    handle_ = 0;
}

void Card::disconnect() {
    if (connected_) SCardDisconnect(static_cast<SCARDHANDLE>(handle_), SCARD_LEAVE_CARD);
    connected_ = false;
    handle_ = 0;
}

Result Card::transmit(std::span<const uint8_t> apdu, std::vector<uint8_t>& answer, size_t& claimed) {
    DWORD length = static_cast<DWORD>(answer.size());
    const LONG rv = SCardTransmit(static_cast<SCARDHANDLE>(handle_), t0_ ? SCARD_PCI_T0 : SCARD_PCI_T1, apdu.data(),
                                  static_cast<DWORD>(apdu.size()), nullptr, answer.data(), &length);
    claimed = rv == SCARD_S_SUCCESS ? length : 0;
    answer.resize(claimed <= answer.size() ? claimed : 0);
    return static_cast<Result>(rv);
}

}  // namespace tovani::felica::pcsc_system
