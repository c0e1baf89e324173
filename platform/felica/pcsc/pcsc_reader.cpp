#include "platform/felica/pcsc/pcsc_reader.h"

#include <array>
#include <chrono>
#include <iostream>
#include <optional>

#include "platform/felica/pcsc/acs_frames.h"
#include "platform/felica/pcsc/pcsc_frames.h"
#include "platform/felica/pcsc/pcsc_system.h"
#include "platform/felica/reader_log.h"

namespace tovani::felica {

namespace {

using namespace pcsc_frames;

using namespace pcsc_system;

bool showsFelicaCard(const ReaderStatus& s) { return s.present && atrIsFelica(s.atr); }

// Results that mean no card is in the field (or it was just lifted).
bool meansNoCard(Result rv) {
    return rv == NoSmartcard || rv == RemovedCard || rv == UnresponsiveCard || rv == UnpoweredCard || rv == ResetCard;
}

std::string notRunning() { return std::string(serviceName) + " is not running"; }

// A session that carried nothing for this long may have been dropped by the
// reader: a failure then earns one restart of the session. Taking a short
// pause for idleness costs at most that one restart; the polling cycle's
// pauses are a second long.
constexpr auto SessionIdleAfter = std::chrono::milliseconds(50);

class PcscReader : public Transport {
public:
    explicit PcscReader(PcscChoice choice) : choice_(std::move(choice)) {}
    ~PcscReader() override { close(); }

    OpenResult open() override {
        close();
        log_.emplace();
        Result rv = context_.establish();
        if (rv != Success) {
            detail_ = rv;
            // The service not running is no reader at all, as far as the user can tell.
            report(rv == NoService ? notRunning() : "no PC/SC context: " + errorName(rv));
            return rv == NoService ? OpenResult::NotFound : OpenResult::OpenFailed;
        }
        std::vector<std::string> names;
        rv = context_.readers(names);
        if (rv != Success) return failOpen(rv, "the readers could not be listed: " + errorName(rv));
        std::vector<ReaderStatus> states;
        rv = context_.states(names, states);
        if (rv != Success) return failOpen(rv, "the readers' states could not be taken: " + errorName(rv));
        for (size_t i = 0; i < names.size(); ++i) {
            if (!choice_.readerName.empty() && names[i] != choice_.readerName) continue;
            if (states[i].gone) continue;
            if (choice_.requireFelicaCard && !showsFelicaCard(states[i])) continue;
            reader_ = names[i];
            route_ = acs_frames::routeForReaderName(reader_);
            logNote(routeName(route_), "opened \"" + reader_ + "\" (" + acs_frames::routeDescription(route_) + ")");
            return OpenResult::Opened;
        }
        std::string why;
        if (names.empty())
            why = std::string(serviceName) + " knows no reader";
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
        context_.release();
        return OpenResult::NotFound;
    }

    void close() override {
        disconnectCard(true);
        context_.release();
        reader_.clear();
        log_.reset();
    }

    // Asks the service for the reader's state: the service itself must
    // answer, and it still has the reader (it watches the device and drops a
    // pulled one).
    bool isAlive() override {
        if (!context_.established() || reader_.empty()) return false;
        std::vector<ReaderStatus> states;
        const Result rv = context_.states({reader_}, states);
        if (rv != Success) {
            detail_ = rv;
            report("the reader's state could not be taken: " + errorName(rv));
            return false;
        }
        if (states[0].gone) {
            report("the reader is gone");
            return false;
        }
        return true;
    }

    Exchange transceive(std::span<const uint8_t> command, Frame& response) override {
        response.clear();
        if (!context_.established() || reader_.empty()) return Exchange::ReaderFault;
        const bool polling = command.size() >= 2 && command[1] == code::Polling;
        Exchange e = exchangeOnce(command, response);
        // A card handle that outlived its card: a new card may lie there now.
        if (e == Exchange::NoAnswer && polling && lostCard_) e = exchangeOnce(command, response);
        // Only Polling tells of a card of another kind; to any other command
        // such a card does not answer.
        if (e == Exchange::OtherCard && !polling) e = Exchange::NoAnswer;
        return e;
    }

    // Get Data: the IDm (and, where the reader gives it, the PMm) of the card
    // the reader found in its field.
    Exchange cardIdentity(Idm& idm, Pmm& pmm) override {
        if (!context_.established() || reader_.empty()) return Exchange::ReaderFault;
        Exchange e = identityOnce(idm, pmm);
        if (e == Exchange::NoAnswer && lostCard_) e = identityOnce(idm, pmm);
        return e;
    }

    size_t maxBlocksPerRead() const override { return MaxBlocksPerRead; }
    int32_t lastDetail() const override { return detail_; }

private:
    using Route = acs_frames::Route;
    using Clock = std::chrono::steady_clock;

    static const char* routeName(Route r) { return acs_frames::routeName(r); }
    const char* route() const { return routeName(route_); }

    OpenResult failOpen(Result rv, const std::string& why) {
        detail_ = rv;
        report(why);
        context_.release();
        const bool gone = rv == NoService || rv == ServiceStopped;
        return gone ? OpenResult::NotFound : OpenResult::OpenFailed;
    }

    void report(const std::string& why) {
        const std::string line = "PC/SC reader" + (reader_.empty() ? std::string() : " \"" + reader_ + "\"") +
                                 ": " + why;
        std::cerr << line << std::endl;
        logNote(route(), why);
    }

    // Sends one APDU and takes the answer. A transmit error is NoAnswer when
    // it means the card went away, else the reader's fault (reason in why_).
    Exchange transmit(const Apdu& apdu, std::vector<uint8_t>& answer) {
        logExchange(route(), LogDirection::ToReader, apdu);
        answer.assign(MaxAnswerLength, 0);
        size_t length = 0;
        const Result rv = card_.transmit(apdu, answer, length);
        lastUse_ = Clock::now();
        if (rv == Success && length > MaxAnswerLength) {
            why_ = "the reader claims an answer of " + std::to_string(length) + " bytes";
            return Exchange::ReaderFault;
        }
        if (rv != Success) {
            detail_ = rv;
            disconnectCard(false);
            logNote(route(), "transmit failed: " + errorName(rv));
            if (meansNoCard(rv)) {
                lostCard_ = true;
                return Exchange::NoAnswer;
            }
            why_ = rv == InsufficientBuffer
                       ? "the answer is longer than " + std::to_string(MaxAnswerLength) + " bytes"
                       : "transmit failed: " + errorName(rv);
            return Exchange::ReaderFault;
        }
        logExchange(route(), LogDirection::FromReader, answer);
        return Exchange::Answered;
    }

    // One command of the session whose answer carries no card frame.
    // `failed` tells a well-formed answer that reports a failure.
    Exchange sessionCommand(const Apdu& apdu, const char* what, bool* failed = nullptr) {
        std::vector<uint8_t> answer;
        Exchange e = transmit(apdu, answer);
        if (e != Exchange::Answered) return e;
        SessionAnswer a;
        std::string why;
        if (!parseSessionAnswer(answer, false, a, why)) {
            why_ = std::string(what) + ": malformed answer " + hexText(answer) + ": " + why;
            return Exchange::ReaderFault;
        }
        if (a.kind == SessionAnswer::CardSilent) return Exchange::NoAnswer;
        if (a.kind != SessionAnswer::Done) {
            why_ = std::string(what) + ": " + why;
            if (failed) *failed = a.kind == SessionAnswer::Failed;
            return Exchange::ReaderFault;
        }
        return Exchange::Answered;
    }

    // Starts the FeliCa session, after ending any session that another
    // program or a crash left open (that answer does not matter). The switch
    // to FeliCa is the card's part: a reader that started the session and
    // cannot switch holds a card of another kind.
    Exchange beginSession() {
        std::vector<uint8_t> ignored;
        Exchange e = transmit(endSession(), ignored);
        if (e != Exchange::Answered) return e;
        e = sessionCommand(pcsc_frames::startSession(), "start of the transparent session");
        if (e != Exchange::Answered) return e;
        sessionOpen_ = true;
        bool failed = false;
        e = sessionCommand(switchToFelica(), "switch to FeliCa", &failed);
        if (e == Exchange::ReaderFault && failed) {
            logNote(route(), "a card that is not FeliCa (" + why_ + ")");
            return Exchange::OtherCard;
        }
        return e;
    }

    // A reader whose name says nothing is asked what it is, once per
    // opening, at the first card it is connected to (the query needs one).
    // A reader that fails the query is no ACS reader: the card handle the
    // failure dropped is taken again.
    Exchange decideRoute() {
        std::vector<uint8_t> answer;
        const Exchange e = transmit(acs_frames::firmwareVersion(), answer);
        if (e == Exchange::NoAnswer) return e;
        route_ = e == Exchange::Answered ? acs_frames::routeForFirmware(answer) : Route::Transparent;
        logNote(route(), "firmware query " + (e == Exchange::Answered ? "answered " + hexText(answer) : why_) + ": " +
                             acs_frames::routeDescription(route_));
        return card_.connected() ? Exchange::Answered : connectOnly();
    }

    Exchange connectOnly() {
        lostCard_ = false;
        const Result rv = card_.connect(context_, reader_);
        if (rv != Success) {
            detail_ = rv;
            if (meansNoCard(rv)) return Exchange::NoAnswer;
            why_ = "connect failed: " + errorName(rv);
            return Exchange::ReaderFault;
        }
        return Exchange::Answered;
    }

    // Connects to the card in the field and readies the reader's route.
    Exchange connectCard() {
        Exchange e = connectOnly();
        if (e == Exchange::Answered && route_ == Route::Undecided) e = decideRoute();
        if (e != Exchange::Answered) {
            disconnectCard(true);
            return e;
        }
        if (route_ == Route::Transparent) e = beginSession();
        if (e == Exchange::Answered && route_ == Route::Acr122) {
            std::vector<uint8_t> answer;
            e = transmit(acs_frames::pn532RetryLimits(), answer);
            std::string why;
            if (e == Exchange::Answered && !acs_frames::parsePn532Answer(answer, 0x33, why)) {
                why_ = "setting the PN532's polling retries: " + why;
                e = Exchange::ReaderFault;
            }
        }
        if (e != Exchange::Answered) disconnectCard(e == Exchange::NoAnswer || e == Exchange::OtherCard);
        return e;
    }

    void disconnectCard(bool endTheSession) {
        if (!card_.connected()) return;
        if (endTheSession && sessionOpen_) {
            std::vector<uint8_t> answer(MaxAnswerLength);
            size_t length = 0;
            const Apdu end = endSession();
            logExchange(route(), LogDirection::ToReader, end);
            if (card_.transmit(end, answer, length) == Success && length <= MaxAnswerLength)
                logExchange(route(), LogDirection::FromReader, answer);
        }
        card_.disconnect();
        sessionOpen_ = false;
    }

    // One FeliCa frame the way the reader's route carries it.
    Exchange carry(std::span<const uint8_t> command, Frame& response) {
        const bool polling = command.size() >= 2 && command[1] == code::Polling;
        Apdu apdu;
        switch (route_) {
        case Route::Acr122: apdu = polling ? acs_frames::pn532Polling(command) : acs_frames::pn532Exchange(command); break;
        case Route::AcsDirect: apdu = acs_frames::directFrame(command); break;
        case Route::Transparent:
        case Route::Undecided: apdu = transparentExchange(command); break;
        }
        if (apdu.empty()) {
            why_ = "a frame of " + std::to_string(command.size()) + " bytes does not fit one exchange";
            return Exchange::ReaderFault;
        }
        std::vector<uint8_t> answer;
        Exchange e = transmit(apdu, answer);
        if (e != Exchange::Answered) return e;
        std::string why;
        if (route_ == Route::Acr122 || route_ == Route::AcsDirect) {
            acs_frames::DirectAnswer a;
            const bool wellFormed = route_ == Route::AcsDirect ? acs_frames::parseDirectFrameAnswer(answer, a, why)
                                    : polling ? acs_frames::parsePn532PollingAnswer(answer, a, why)
                                              : acs_frames::parsePn532ExchangeAnswer(answer, a, why);
            if (!wellFormed) {
                why_ = "malformed answer " + hexText(answer) + ": " + why;
                return Exchange::ReaderFault;
            }
            if (a.kind == acs_frames::DirectAnswer::CardSilent) return Exchange::NoAnswer;
            if (a.kind == acs_frames::DirectAnswer::Failed) {
                why_ = "exchange: " + why;
                return Exchange::ReaderFault;
            }
            response = std::move(a.cardFrame);
            return Exchange::Answered;
        }
        SessionAnswer a;
        if (!parseSessionAnswer(answer, true, a, why)) {
            why_ = "malformed exchange answer " + hexText(answer) + ": " + why;
            return Exchange::ReaderFault;
        }
        switch (a.kind) {
        case SessionAnswer::Done:
            response = std::move(*a.cardFrame);
            return Exchange::Answered;
        case SessionAnswer::CardSilent:
            return Exchange::NoAnswer;
        case SessionAnswer::Refused:
            why_ = "exchange of FeliCa command " + hexText(command.subspan(1, 1)) + ": " + why;
            return Exchange::Refused;
        case SessionAnswer::Failed:
            break;
        }
        why_ = "exchange: " + why;
        return Exchange::ReaderFault;
    }

    Exchange exchangeOnce(std::span<const uint8_t> command, Frame& response) {
        bool fresh = false;
        if (!card_.connected()) {
            Exchange e = connectCard();
            if (e == Exchange::ReaderFault) report(why_);
            if (e != Exchange::Answered) return e;
            fresh = true;
        }
        const bool idle = !fresh && Clock::now() - lastUse_ >= SessionIdleAfter;
        Exchange e = carry(command, response);
        // A reader may drop a session left idle: refusal or failure then
        // may be the lost session's, so the session starts again once.
        if ((e == Exchange::Refused || e == Exchange::ReaderFault) && idle && card_.connected() &&
            route_ == Route::Transparent) {
            logNote(route(), "restarting the session left idle (" + why_ + ")");
            Exchange restarted = beginSession();
            if (restarted == Exchange::Answered) e = carry(command, response);
            else e = restarted;
        }
        if (e == Exchange::ReaderFault) report(why_);
        if (e == Exchange::Refused) logNote(route(), why_);
        return e;
    }

    Exchange identityOnce(Idm& idm, Pmm& pmm) {
        if (!card_.connected()) {
            Exchange e = connectCard();
            if (e == Exchange::ReaderFault) report(why_);
            if (e != Exchange::Answered) return e;
        }
        std::vector<uint8_t> answer, uid;
        Exchange e = transmit(getUid(), answer);
        if (e == Exchange::ReaderFault) report(why_);
        if (e != Exchange::Answered) return e;
        std::string why;
        if (!parseUidAnswer(answer, uid, why)) {
            report("the card's IDm could not be taken: " + why);
            return Exchange::ReaderFault;
        }
        // A UID of 4, 7 or 10 bytes (ISO 14443 type A) and the like: a card
        // of another kind, not a fault of the reader.
        if (uid.size() != idm.size()) {
            logNote(route(), "a card that is not FeliCa (an identifier of " + std::to_string(uid.size()) + " bytes)");
            return Exchange::OtherCard;
        }
        std::copy(uid.begin(), uid.end(), idm.begin());
        // The PMm is only passed on: a reader that does not give it leaves zeros.
        pmm.fill(0);
        e = transmit(getPmm(), answer);
        if (e != Exchange::Answered) return e == Exchange::ReaderFault ? (report(why_), e) : e;
        if (parseUidAnswer(answer, uid, why) && uid.size() == pmm.size()) std::copy(uid.begin(), uid.end(), pmm.begin());
        return Exchange::Answered;
    }

    PcscChoice choice_;
    Context context_;
    std::string reader_;
    Route route_ = Route::Undecided;
    Card card_;
    bool sessionOpen_ = false;
    bool lostCard_ = false;  // the last transmit found the card gone
    Clock::time_point lastUse_{};
    std::string why_;        // the reason of the last fault
    int32_t detail_ = 0;
    std::optional<ReaderLogConnection> log_;
};

}  // namespace

std::unique_ptr<Transport> makePcscTransport(PcscChoice choice) {
    return std::make_unique<PcscReader>(std::move(choice));
}

bool listPcscReaders(std::vector<PcscReaderInfo>& out, std::string& why) {
    out.clear();
    Context context;
    Result rv = context.establish();
    if (rv != Success) {
        why = rv == NoService ? notRunning() : "no PC/SC context: " + errorName(rv);
        return false;
    }
    std::vector<std::string> names;
    rv = context.readers(names);
    std::vector<ReaderStatus> states;
    if (rv == Success) rv = context.states(names, states);
    if (rv != Success) {
        why = std::string(serviceName) + " did not list its readers: " + errorName(rv);
        return false;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        PcscReaderInfo info;
        info.name = names[i];
        info.answers = !states[i].gone;
        info.cardPresent = states[i].present;
        info.felicaCard = showsFelicaCard(states[i]);
        info.route = acs_frames::routeDescription(acs_frames::routeForReaderName(names[i]));
        out.push_back(std::move(info));
    }
    return true;
}

}  // namespace tovani::felica
