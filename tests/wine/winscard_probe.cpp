// winscard-probe [IDM]
//
// A Windows program that shows what winscard.dll does with a simulated
// PC/SC reader: it lists the readers (the A and W calls, with and without
// SCARD_AUTOALLOCATE), waits for a card on the first reader, connects, reads
// the ATR (SCardStatus), and sends Get Data and one FeliCa Polling, as a
// transparent exchange and else by the direct transmit of an ACR122U or an
// ACR1252U, printing every answer. Answers a reader does not give are printed too; they only fail the
// probe when neither route polls the card. With IDM (16 hex digits) the IDm
// that Get Data answers must be that one.
//
// It stands in for our reader code where only winscard.dll itself is under
// test (a Wine in a new root), so it has no code of ours to lean on.

#include <windows.h>
#include <winscard.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

std::string hex(const BYTE* p, DWORD n) {
    std::string s;
    char b[4];
    for (DWORD i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
        s += b;
    }
    return s;
}

std::string narrow(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

const char* status(LONG rv) {
    switch (rv) {
    case static_cast<LONG>(SCARD_S_SUCCESS): return "ok";
    case SCARD_E_TIMEOUT: return "SCARD_E_TIMEOUT";
    case SCARD_E_NO_READERS_AVAILABLE: return "SCARD_E_NO_READERS_AVAILABLE";
    case SCARD_E_NO_SMARTCARD: return "SCARD_E_NO_SMARTCARD";
    case SCARD_W_REMOVED_CARD: return "SCARD_W_REMOVED_CARD";
    case SCARD_E_NO_SERVICE: return "SCARD_E_NO_SERVICE";
    case SCARD_E_INSUFFICIENT_BUFFER: return "SCARD_E_INSUFFICIENT_BUFFER";
    case SCARD_F_INTERNAL_ERROR: return "SCARD_F_INTERNAL_ERROR";
    default: return "error";
    }
}

void report(const char* what, LONG rv) { std::printf("%-28s %s (0x%08lX)\n", what, status(rv), static_cast<unsigned long>(rv)); }

// Transmits an APDU with the T=1 PCI and prints it with the answer.
bool transmit(SCARDHANDLE card, DWORD protocol, const char* what, const Bytes& apdu, Bytes& answer) {
    BYTE buf[512];
    DWORD len = sizeof buf;
    const SCARD_IO_REQUEST* send = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
    const DWORD start = GetTickCount();
    const LONG rv = SCardTransmit(card, send, apdu.data(), static_cast<DWORD>(apdu.size()), nullptr, buf, &len);
    const DWORD took = GetTickCount() - start;
    std::printf("%s\n  > %s\n", what, hex(apdu.data(), static_cast<DWORD>(apdu.size())).c_str());
    if (rv != SCARD_S_SUCCESS) {
        report("  < SCardTransmit", rv);
        return false;
    }
    std::printf("  < %s   (%lu ms)\n", hex(buf, len).c_str(), static_cast<unsigned long>(took));
    answer.assign(buf, buf + len);
    return true;
}

bool endsOk(const Bytes& a) { return a.size() >= 2 && a[a.size() - 2] == 0x90 && a.back() == 0x00; }

// A transparent exchange answered the card's frame: C0 03 00 90 00 and a 97 object.
bool cardFrameIn(const Bytes& a) {
    if (!endsOk(a) || a.size() < 7 || a[0] != 0xC0 || a[2] != 0x00 || a[3] != 0x90) return false;
    for (size_t i = 0; i + 1 < a.size() - 2; i += 2 + a[i + 1])
        if (a[i] == 0x97 && a[i + 1] > 1) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string wantIdm = argc > 1 ? argv[1] : "";
    SCARDCONTEXT ctx = 0;
    LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx);
    report("SCardEstablishContext", rv);
    if (rv != SCARD_S_SUCCESS) return 3;
    report("SCardIsValidContext", SCardIsValidContext(ctx));

    // The size query, then the list, in both character sets.
    DWORD size = 0;
    rv = SCardListReadersW(ctx, nullptr, nullptr, &size);
    report("SCardListReadersW (size)", rv);
    std::wstring wide(size, L'\0');
    rv = SCardListReadersW(ctx, nullptr, wide.data(), &size);
    report("SCardListReadersW", rv);
    std::vector<std::wstring> readers;
    for (const wchar_t* p = wide.c_str(); rv == SCARD_S_SUCCESS && *p; p += wcslen(p) + 1) {
        readers.emplace_back(p);
        std::printf("  reader (W): \"%s\"\n", narrow(p).c_str());
    }
    std::printf("  size %lu characters\n", static_cast<unsigned long>(size));
    char* ansi = nullptr;
    DWORD ansiSize = SCARD_AUTOALLOCATE;
    rv = SCardListReadersA(ctx, nullptr, reinterpret_cast<char*>(&ansi), &ansiSize);
    report("SCardListReadersA (auto)", rv);
    for (const char* p = ansi; rv == SCARD_S_SUCCESS && p && *p; p += std::strlen(p) + 1)
        std::printf("  reader (A): \"%s\"\n", p);
    if (ansi) report("SCardFreeMemory", SCardFreeMemory(ctx, ansi));
    if (readers.empty()) return 3;
    const std::wstring& reader = readers.front();

    // Does SCardGetStatusChange wait? Once for the current state, once with
    // that state as known and a second to wait.
    SCARD_READERSTATEW state{};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    rv = SCardGetStatusChangeW(ctx, 0, &state, 1);
    report("SCardGetStatusChangeW (0)", rv);
    std::printf("  event state 0x%08lX, ATR %s\n", static_cast<unsigned long>(state.dwEventState),
                hex(state.rgbAtr, state.cbAtr).c_str());
    state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
    DWORD start = GetTickCount();
    rv = SCardGetStatusChangeW(ctx, 1000, &state, 1);
    std::printf("SCardGetStatusChangeW (1000) %s (0x%08lX) after %lu ms, event state 0x%08lX\n", status(rv),
                static_cast<unsigned long>(rv), static_cast<unsigned long>(GetTickCount() - start),
                static_cast<unsigned long>(state.dwEventState));
    // The card may come after the reader: poll, as the program does.
    for (int i = 0; i < 100 && !(state.dwEventState & SCARD_STATE_PRESENT); ++i) {
        Sleep(100);
        state.dwCurrentState = SCARD_STATE_UNAWARE;
        SCardGetStatusChangeW(ctx, 0, &state, 1);
    }

    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    rv = SCardConnectW(ctx, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card,
                       &protocol);
    report("SCardConnectW", rv);
    if (rv != SCARD_S_SUCCESS) return 1;
    std::printf("  protocol %lu (%s)\n", static_cast<unsigned long>(protocol),
                protocol == SCARD_PROTOCOL_T1 ? "T=1" : protocol == SCARD_PROTOCOL_T0 ? "T=0" : "?");

    wchar_t name[256];
    DWORD nameLen = 256, cardState = 0, cardProtocol = 0, atrLen = 36;
    BYTE atr[36];
    rv = SCardStatusW(card, name, &nameLen, &cardState, &cardProtocol, atr, &atrLen);
    report("SCardStatusW", rv);
    if (rv == SCARD_S_SUCCESS)
        std::printf("  name \"%s\" (%lu characters), state 0x%lX, protocol %lu\n  ATR %s\n", narrow(name).c_str(),
                    static_cast<unsigned long>(nameLen), static_cast<unsigned long>(cardState),
                    static_cast<unsigned long>(cardProtocol), hex(atr, atrLen).c_str());
    char ansiName[256];
    DWORD ansiNameLen = sizeof ansiName;
    atrLen = sizeof atr;
    rv = SCardStatusA(card, ansiName, &ansiNameLen, &cardState, &cardProtocol, atr, &atrLen);
    report("SCardStatusA", rv);
    if (rv == SCARD_S_SUCCESS)
        std::printf("  name \"%s\" (%lu characters), ATR %s\n", ansiName, static_cast<unsigned long>(ansiNameLen),
                    hex(atr, atrLen).c_str());
    wchar_t* autoWide = nullptr;
    DWORD autoWideLen = SCARD_AUTOALLOCATE;
    rv = SCardStatusW(card, reinterpret_cast<wchar_t*>(&autoWide), &autoWideLen, &cardState, &cardProtocol, nullptr,
                      nullptr);
    report("SCardStatusW (auto name)", rv);
    if (rv == SCARD_S_SUCCESS) {
        std::printf("  name \"%s\"\n", autoWide ? narrow(autoWide).c_str() : "(null)");
        SCardFreeMemory(ctx, autoWide);
    }
    // SCARD_AUTOALLOCATE for the name and for the ATR, each on its own.
    char* autoName = nullptr;
    DWORD autoNameLen = SCARD_AUTOALLOCATE;
    rv = SCardStatusA(card, reinterpret_cast<char*>(&autoName), &autoNameLen, &cardState, &cardProtocol, nullptr,
                      nullptr);
    report("SCardStatusA (auto name)", rv);
    if (rv == SCARD_S_SUCCESS) {
        std::printf("  name \"%s\"\n", autoName ? autoName : "(null)");
        SCardFreeMemory(ctx, autoName);
    }
    BYTE* autoAtr = nullptr;
    DWORD autoAtrLen = SCARD_AUTOALLOCATE;
    nameLen = 256;
    rv = SCardStatusW(card, name, &nameLen, &cardState, &cardProtocol, reinterpret_cast<BYTE*>(&autoAtr), &autoAtrLen);
    report("SCardStatusW (auto ATR)", rv);
    if (rv == SCARD_S_SUCCESS) {
        std::printf("  ATR %s\n", autoAtr ? hex(autoAtr, autoAtrLen).c_str() : "(null)");
        SCardFreeMemory(ctx, autoAtr);
    }

    bool idmOk = wantIdm.empty();
    Bytes a;
    if (transmit(card, protocol, "Get Data, IDm", {0xFF, 0xCA, 0x00, 0x00, 0x00}, a) && endsOk(a) && !wantIdm.empty()) {
        idmOk = _stricmp(hex(a.data(), static_cast<DWORD>(a.size() - 2)).c_str(), [&] {
                    std::string spaced;
                    for (size_t i = 0; i + 1 < wantIdm.size(); i += 2) spaced += (i ? " " : "") + wantIdm.substr(i, 2);
                    return spaced;
                }().c_str()) == 0;
    }

    // The transparent session: end a session left open, start one, FeliCa,
    // Polling for any system with request code 01 (system code), then Request
    // System Code (a command a refusing reader turns down), end the session.
    bool polled = false;
    transmit(card, protocol, "end session", {0xFF, 0xC2, 0x00, 0x00, 0x02, 0x82, 0x00, 0x00}, a);
    if (transmit(card, protocol, "start session", {0xFF, 0xC2, 0x00, 0x00, 0x02, 0x81, 0x00, 0x00}, a) && endsOk(a) &&
        a.size() > 2) {
        transmit(card, protocol, "switch protocol FeliCa", {0xFF, 0xC2, 0x00, 0x02, 0x04, 0x8F, 0x02, 0x03, 0x00, 0x00},
                 a);
        polled = transmit(card, protocol, "transparent exchange, Polling",
                          {0xFF, 0xC2, 0x00, 0x01, 0x0F, 0x5F, 0x46, 0x04, 0x40, 0x42, 0x0F, 0x00, 0x95, 0x06, 0x06,
                           0x00, 0xFF, 0xFF, 0x01, 0x00, 0x00},
                          a) &&
                 cardFrameIn(a);
        // The IDm from the Polling answer: ... 97 14 14 01 <IDm> ...
        Bytes idm;
        for (size_t i = 0; polled && i + 1 < a.size(); i += 2 + a[i + 1])
            if (a[i] == 0x97 && i + 12 <= a.size()) idm.assign(a.begin() + i + 4, a.begin() + i + 12);
        if (idm.size() == 8) {
            Bytes apdu{0xFF, 0xC2, 0x00, 0x01, 0x0C, 0x95, 0x0A, 0x0A, 0x0C};
            apdu.insert(apdu.end(), idm.begin(), idm.end());
            apdu.push_back(0x00);  // Le
            transmit(card, protocol, "transparent exchange, Request System Code", apdu, a);
        }
        transmit(card, protocol, "end session", {0xFF, 0xC2, 0x00, 0x00, 0x02, 0x82, 0x00, 0x00}, a);
    }

    // The ACR122U's PN532: InListPassiveTarget with the Polling frame
    // without its length byte.
    if (!polled)
        polled = transmit(card, protocol, "direct transmit, InListPassiveTarget",
                          {0xFF, 0x00, 0x00, 0x00, 0x09, 0xD4, 0x4A, 0x01, 0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00}, a) &&
                 endsOk(a) && a.size() > 5 && a[0] == 0xD5 && a[1] == 0x4B && a[2] == 0x01;

    // An ACR1252U: the FeliCa frame with its length byte.
    if (!polled)
        polled = transmit(card, protocol, "direct transmit, FeliCa frame",
                          {0xFF, 0x00, 0x00, 0x00, 0x06, 0x06, 0x00, 0xFF, 0xFF, 0x01, 0x00}, a) &&
                 endsOk(a) && a.size() > 3 && a[1] == 0x01;

    report("SCardDisconnect", SCardDisconnect(card, SCARD_LEAVE_CARD));
    report("SCardReleaseContext", SCardReleaseContext(ctx));
    std::printf("result: %s%s\n", polled ? "polled the card" : "no route polled the card",
                idmOk ? "" : ", and Get Data gave another IDm");
    return polled && idmOk ? 0 : 1;
}
