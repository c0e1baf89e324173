#include "platform/felica/pcsc/pcsc_reader.h"

#include <array>
#include <iostream>

#include <winscard.h>

#include "platform/felica/pcsc/pcsc_frames.h"

namespace tovani::felica {

namespace {

using namespace pcsc_frames;

std::string errorName(LONG rv) { return pcsc_stringify_error(rv); }

// Readers as pcscd lists them: a sequence of NUL-terminated names.
LONG readerNames(SCARDCONTEXT context, std::vector<std::string>& names) {
    names.clear();
    DWORD size = 0;
    LONG rv = SCardListReaders(context, nullptr, nullptr, &size);
    if (rv == SCARD_E_NO_READERS_AVAILABLE) return SCARD_S_SUCCESS;
    if (rv != SCARD_S_SUCCESS) return rv;
    std::vector<char> buffer(size + 1, '\0');
    rv = SCardListReaders(context, nullptr, buffer.data(), &size);
    if (rv == SCARD_E_NO_READERS_AVAILABLE) return SCARD_S_SUCCESS;
    if (rv != SCARD_S_SUCCESS) return rv;
    for (size_t pos = 0; pos < size && buffer[pos] != '\0';) {
        std::string name(&buffer[pos]);
        pos += name.size() + 1;
        names.push_back(std::move(name));
    }
    return SCARD_S_SUCCESS;
}

// The states of the named readers, without waiting.
LONG readerStates(SCARDCONTEXT context, const std::vector<std::string>& names,
                  std::vector<SCARD_READERSTATE>& states) {
    states.assign(names.size(), SCARD_READERSTATE{});
    for (size_t i = 0; i < names.size(); ++i) {
        states[i].szReader = names[i].c_str();
        states[i].dwCurrentState = SCARD_STATE_UNAWARE;
    }
    if (states.empty()) return SCARD_S_SUCCESS;
    LONG rv = SCardGetStatusChange(context, 0, states.data(), static_cast<DWORD>(states.size()));
    return rv == SCARD_E_TIMEOUT ? SCARD_S_SUCCESS : rv;
}

bool readerGone(const SCARD_READERSTATE& s) {
    return s.dwEventState & (SCARD_STATE_UNKNOWN | SCARD_STATE_IGNORE | SCARD_STATE_UNAVAILABLE);
}

bool showsFelicaCard(const SCARD_READERSTATE& s) {
    return (s.dwEventState & SCARD_STATE_PRESENT) && s.cbAtr <= sizeof s.rgbAtr &&
           atrIsFelica(std::span<const uint8_t>(s.rgbAtr, s.cbAtr));
}

// Results that mean no card is in the field (or it was just lifted).
bool meansNoCard(LONG rv) {
    return rv == SCARD_E_NO_SMARTCARD || rv == SCARD_W_REMOVED_CARD || rv == SCARD_W_UNRESPONSIVE_CARD ||
           rv == SCARD_W_UNPOWERED_CARD || rv == SCARD_W_RESET_CARD;
}

class PcscReader : public Transport {
public:
    explicit PcscReader(PcscChoice choice) : choice_(std::move(choice)) {}
    ~PcscReader() override { close(); }

    OpenResult open() override {
        close();
        LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_);
        if (rv != SCARD_S_SUCCESS) {
            context_ = 0;
            hasContext_ = false;
            detail_ = static_cast<int32_t>(rv);
            // pcscd not running is no reader at all, as far as the user can tell.
            report(rv == SCARD_E_NO_SERVICE ? "pcscd is not running" : "no PC/SC context: " + errorName(rv));
            return rv == SCARD_E_NO_SERVICE ? OpenResult::NotFound : OpenResult::OpenFailed;
        }
        hasContext_ = true;
        std::vector<std::string> names;
        rv = readerNames(context_, names);
        if (rv != SCARD_S_SUCCESS) return failOpen(rv, "the readers could not be listed: " + errorName(rv));
        std::vector<SCARD_READERSTATE> states;
        rv = readerStates(context_, names, states);
        if (rv != SCARD_S_SUCCESS) return failOpen(rv, "the readers' states could not be taken: " + errorName(rv));
        for (size_t i = 0; i < names.size(); ++i) {
            if (!choice_.readerName.empty() && names[i] != choice_.readerName) continue;
            if (readerGone(states[i])) continue;
            if (choice_.requireFelicaCard && !showsFelicaCard(states[i])) continue;
            reader_ = names[i];
            return OpenResult::Opened;
        }
        std::string why;
        if (names.empty())
            why = "pcscd knows no reader";
        else if (!choice_.readerName.empty())
            why = "no reader named \"" + choice_.readerName + "\"";
        else
            why = "no reader shows a FeliCa card";
        if (!names.empty()) {
            why += " (readers:";
            for (const std::string& n : names) why += " \"" + n + "\"";
            why += ")";
        }
        if (!choice_.quiet) report(why);
        releaseContext();
        return OpenResult::NotFound;
    }

    void close() override {
        disconnectCard(true);
        releaseContext();
        reader_.clear();
    }

    // Asks pcscd for the reader's state: pcscd itself must answer, and it
    // still has the reader (it watches the device and drops a pulled one).
    bool isAlive() override {
        if (!hasContext_ || reader_.empty()) return false;
        std::vector<SCARD_READERSTATE> states;
        const std::vector<std::string> names{reader_};
        LONG rv = readerStates(context_, names, states);
        if (rv != SCARD_S_SUCCESS) {
            detail_ = static_cast<int32_t>(rv);
            report("the reader's state could not be taken: " + errorName(rv));
            return false;
        }
        if (readerGone(states[0])) {
            report("the reader is gone");
            return false;
        }
        return true;
    }

    Exchange transceive(std::span<const uint8_t> command, Frame& response) override {
        response.clear();
        if (!hasContext_ || reader_.empty()) return Exchange::ReaderFault;
        const Apdu apdu = transparentExchange(command);
        if (apdu.empty()) {
            report("a frame of " + std::to_string(command.size()) + " bytes does not fit one exchange");
            return Exchange::ReaderFault;
        }
        const bool polling = command.size() >= 2 && command[1] == code::Polling;
        Exchange e = exchangeOnce(apdu, response);
        // A card handle that outlived its card: a new card may lie there now.
        if (e == Exchange::NoAnswer && polling && lostCard_) e = exchangeOnce(apdu, response);
        return e;
    }

    size_t maxBlocksPerRead() const override { return MaxBlocksPerRead; }
    int32_t lastDetail() const override { return detail_; }

private:
    OpenResult failOpen(LONG rv, const std::string& why) {
        detail_ = static_cast<int32_t>(rv);
        report(why);
        releaseContext();
        const bool gone = rv == SCARD_E_NO_SERVICE || rv == SCARD_E_SERVICE_STOPPED;
        return gone ? OpenResult::NotFound : OpenResult::OpenFailed;
    }

    void releaseContext() {
        if (hasContext_) SCardReleaseContext(context_);
        hasContext_ = false;
        context_ = 0;
    }

    void report(const std::string& why) {
        const std::string line = "PC/SC reader" + (reader_.empty() ? std::string() : " \"" + reader_ + "\"") +
                                 ": " + why;
        std::cerr << line << std::endl;
    }

    // Sends one APDU and takes the answer. A transmit error is NoAnswer when
    // it means the card went away, else the reader's fault.
    Exchange transmit(const Apdu& apdu, std::vector<uint8_t>& answer) {
        answer.assign(MaxAnswerLength, 0);
        DWORD length = static_cast<DWORD>(answer.size());
        const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
        LONG rv = SCardTransmit(card_, pci, apdu.data(), static_cast<DWORD>(apdu.size()), nullptr, answer.data(),
                                &length);
        if (rv == SCARD_S_SUCCESS && length > answer.size()) {
            report("the reader claims an answer of " + std::to_string(length) + " bytes");
            answer.clear();
            return Exchange::ReaderFault;
        }
        if (rv != SCARD_S_SUCCESS) {
            answer.clear();
            detail_ = static_cast<int32_t>(rv);
            disconnectCard(false);
            if (meansNoCard(rv)) {
                lostCard_ = true;
                return Exchange::NoAnswer;
            }
            report(rv == SCARD_E_INSUFFICIENT_BUFFER
                       ? "the answer is longer than " + std::to_string(MaxAnswerLength) + " bytes"
                       : "transmit failed: " + errorName(rv));
            return Exchange::ReaderFault;
        }
        answer.resize(length);
        return Exchange::Answered;
    }

    // One command of the session whose answer carries no card frame.
    Exchange sessionCommand(const Apdu& apdu, const char* what) {
        std::vector<uint8_t> answer;
        Exchange e = transmit(apdu, answer);
        if (e != Exchange::Answered) return e;
        SessionAnswer a;
        std::string why;
        if (!parseSessionAnswer(answer, false, a, why)) {
            report(std::string(what) + ": malformed answer " + hexText(answer) + ": " + why);
            return Exchange::ReaderFault;
        }
        if (a.kind == SessionAnswer::CardSilent) return Exchange::NoAnswer;
        if (a.kind == SessionAnswer::Refused) {
            report(std::string(what) + ": " + why);
            return Exchange::ReaderFault;
        }
        return Exchange::Answered;
    }

    // Connects to the card in the field and starts the FeliCa session.
    Exchange connectCard() {
        lostCard_ = false;
        DWORD protocol = 0;
        LONG rv = SCardConnect(context_, reader_.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                               &card_, &protocol);
        if (rv != SCARD_S_SUCCESS) {
            detail_ = static_cast<int32_t>(rv);
            if (meansNoCard(rv)) return Exchange::NoAnswer;
            report("connect failed: " + errorName(rv));
            return Exchange::ReaderFault;
        }
        connected_ = true;
        protocol_ = protocol;
        Exchange e = sessionCommand(startSession(), "start of the transparent session");
        if (e == Exchange::Answered) e = sessionCommand(switchToFelica(), "switch to FeliCa");
        if (e != Exchange::Answered) {
            disconnectCard(e == Exchange::NoAnswer);
            return e;
        }
        sessionOpen_ = true;
        return Exchange::Answered;
    }

    void disconnectCard(bool endTheSession) {
        if (!connected_) return;
        if (endTheSession && sessionOpen_) {
            std::vector<uint8_t> answer(MaxAnswerLength);
            DWORD length = static_cast<DWORD>(answer.size());
            const Apdu end = endSession();
            const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
            SCardTransmit(card_, pci, end.data(), static_cast<DWORD>(end.size()), nullptr, answer.data(), &length);
        }
        SCardDisconnect(card_, SCARD_LEAVE_CARD);
        connected_ = false;
        sessionOpen_ = false;
        card_ = 0;
    }

    Exchange exchangeOnce(const Apdu& apdu, Frame& response) {
        if (!connected_) {
            Exchange e = connectCard();
            if (e != Exchange::Answered) return e;
        }
        std::vector<uint8_t> answer;
        Exchange e = transmit(apdu, answer);
        if (e != Exchange::Answered) return e;
        SessionAnswer a;
        std::string why;
        if (!parseSessionAnswer(answer, true, a, why)) {
            report("malformed exchange answer " + hexText(answer) + ": " + why);
            return Exchange::ReaderFault;
        }
        if (a.kind == SessionAnswer::CardSilent) return Exchange::NoAnswer;
        if (a.kind == SessionAnswer::Refused) {
            report("exchange: " + why);
            return Exchange::ReaderFault;
        }
        response = std::move(*a.cardFrame);
        return Exchange::Answered;
    }

    PcscChoice choice_;
    SCARDCONTEXT context_ = 0;
    bool hasContext_ = false;
    std::string reader_;
    SCARDHANDLE card_ = 0;
    DWORD protocol_ = 0;
    bool connected_ = false;
    bool sessionOpen_ = false;
    bool lostCard_ = false;  // the last transmit found the card gone
    int32_t detail_ = 0;
};

}  // namespace

std::unique_ptr<Transport> makePcscTransport(PcscChoice choice) {
    return std::make_unique<PcscReader>(std::move(choice));
}

bool listPcscReaders(std::vector<PcscReaderInfo>& out, std::string& why) {
    out.clear();
    SCARDCONTEXT context = 0;
    LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context);
    if (rv != SCARD_S_SUCCESS) {
        why = rv == SCARD_E_NO_SERVICE ? "pcscd is not running" : "no PC/SC context: " + errorName(rv);
        return false;
    }
    std::vector<std::string> names;
    rv = readerNames(context, names);
    std::vector<SCARD_READERSTATE> states;
    if (rv == SCARD_S_SUCCESS) rv = readerStates(context, names, states);
    if (rv != SCARD_S_SUCCESS) {
        why = "pcscd did not list its readers: " + errorName(rv);
        SCardReleaseContext(context);
        return false;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        PcscReaderInfo info;
        info.name = names[i];
        info.answers = !readerGone(states[i]);
        info.cardPresent = states[i].dwEventState & SCARD_STATE_PRESENT;
        info.felicaCard = showsFelicaCard(states[i]);
        out.push_back(std::move(info));
    }
    SCardReleaseContext(context);
    return true;
}

}  // namespace tovani::felica
