#include "vpcd_card.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/felica/pcsc/pcsc_frames.h"

namespace tovani::test {

namespace fs = std::filesystem;
using namespace felica::pcsc_frames;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes sw(uint8_t a, uint8_t b) { return {a, b}; }

Bytes withStatus(uint8_t index, uint8_t s1, uint8_t s2, const Bytes& rest = {}) {
    Bytes out;
    out.reserve(rest.size() + 7);
    for (uint8_t b : {uint8_t{0xC0}, uint8_t{0x03}, index, s1, s2}) out.push_back(b);
    for (uint8_t b : rest) out.push_back(b);
    out.push_back(0x90);
    out.push_back(0x00);
    return out;
}

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool readAll(int fd, uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t r = ::recv(fd, p, n, 0);
        if (r <= 0) return false;
        // vpcd 3.3 sends a message's length and its bytes apart without
        // TCP_NODELAY: acknowledged late, the bytes wait some 40 ms.
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool sendMessage(int fd, const Bytes& message) {
    const uint8_t head[2] = {static_cast<uint8_t>(message.size() >> 8), static_cast<uint8_t>(message.size())};
    return writeAll(fd, head, 2) && writeAll(fd, message.data(), message.size());
}

}  // namespace

const std::vector<NamedReader>& namedReaders() {
    using P = ReaderProfile;
    static const std::vector<NamedReader> readers{
        {"plain", "Tovani Test Reader", P{}},
        // An RC-S300 as one public report shows it: Request Service, Search
        // Service Code and Request System Code refused; and a session left
        // idle is dropped, as a reader may.
        {"rcs300-refusing", "SONY FeliCa RC-S300/P (0303109)",
         P{P::Rcs300, {0x02, 0x0A, 0x0C}, std::chrono::milliseconds(500)}},
        {"acr122u", "ACS ACR122U PICC Interface", P{P::Acr122, {}, {}}},
        {"acr1252u", "ACS ACR1252 1S CL Reader PICC", P{P::Acr1252, {}, {}}},
    };
    return readers;
}

const NamedReader* findNamedReader(std::string_view key) {
    for (const NamedReader& r : namedReaders())
        if (r.key == key) return &r;
    return nullptr;
}

Bytes PcscCardAnswers::answer(std::span<const uint8_t> apdu) {
    // Idle: from the last answer to this command.
    if (profile_.dropIdleSession.count() > 0 && std::chrono::steady_clock::now() - lastAnswer_ > profile_.dropIdleSession)
        reset();
    Bytes out = answerApdu(apdu);
    lastAnswer_ = std::chrono::steady_clock::now();
    return out;
}

Bytes PcscCardAnswers::answerApdu(std::span<const uint8_t> apdu) {
    if (apdu.size() < 4) return sw(0x67, 0x00);
    if (apdu[0] != 0xFF) return sw(0x6E, 0x00);
    std::span<const uint8_t> data;
    if (apdu.size() > 5) {
        const size_t lc = apdu[4];
        // Header, Lc, data and an optional Le.
        if (apdu.size() != 5 + lc && apdu.size() != 6 + lc) return sw(0x67, 0x00);
        data = apdu.subspan(5, lc);
    }
    const bool session = profile_.kind == ReaderProfile::Rcs300;
    switch (apdu[1]) {
    case 0xCA:
        return apdu[2] <= 0x01 ? getData(apdu[2]) : sw(0x6A, 0x81);
    case 0xC2:
        if (!session) return sw(0x6A, 0x81);
        switch (apdu[3]) {
        case p2::ManageSession:
            return manageSession(data);
        case p2::TransparentExchange:
            return exchange(data);
        case p2::SwitchProtocol:
            return switchProtocol(data);
        default:
            return sw(0x6A, 0x86);
        }
    case 0x00:
        if (!session && apdu[2] == 0x48) {
            const std::string version = profile_.kind == ReaderProfile::Acr122 ? "ACR122U207" : "ACR1252U_V202.2";
            Bytes out(version.begin(), version.end());
            out.insert(out.end(), {0x90, 0x00});
            return out;
        }
        if (session || apdu[2] != 0x00 || apdu[3] != 0x00 || data.empty()) return sw(0x6A, 0x81);
        return profile_.kind == ReaderProfile::Acr122 ? pn532(data) : directFrame(data);
    default:
        return sw(0x6D, 0x00);
    }
}

Bytes PcscCardAnswers::atr() const {
    if (profile_.kind != ReaderProfile::Acr122) return Bytes(FelicaAtr.begin(), FelicaAtr.end());
    // Standard byte 03 and card name F0 11 (FeliCa 212 kbps), as the ACR122T has it.
    return {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
            0x03, 0x06, 0x03, 0xF0, 0x11, 0x00, 0x00, 0x00, 0x00, 0x8A};
}

// The PN532 behind an ACR122: InListPassiveTarget for one FeliCa target,
// InDataExchange with it, RFConfiguration.
Bytes PcscCardAnswers::pn532(std::span<const uint8_t> c) {
    Bytes out{0xD5, static_cast<uint8_t>(c.size() >= 2 ? c[1] + 1 : 0)};
    if (c.size() == 9 && c[0] == 0xD4 && c[1] == 0x4A && c[2] == 0x01 && c[3] == 0x01) {
        felica::Frame polling{0x06};
        polling.insert(polling.end(), c.begin() + 4, c.end());
        std::optional<felica::Frame> frame = field_.answer(polling);
        out.push_back(frame ? 1 : 0);
        if (frame) {
            out.push_back(0x01);  // target number
            out.insert(out.end(), frame->begin(), frame->end());
        }
    } else if (c.size() > 3 && c[0] == 0xD4 && c[1] == 0x40 && c[2] == 0x01) {
        std::optional<felica::Frame> frame = field_.answer(c.subspan(3));
        out.push_back(frame ? 0x00 : 0x01);  // 01: timeout, the card did not answer
        if (frame) out.insert(out.end(), frame->begin(), frame->end());
    } else if (c.size() >= 2 && c[0] == 0xD4 && c[1] == 0x32) {
    } else {
        return sw(0x63, 0x00);
    }
    out.insert(out.end(), {0x90, 0x00});
    return out;
}

Bytes PcscCardAnswers::directFrame(std::span<const uint8_t> frame) {
    std::optional<felica::Frame> answer = field_.answer(frame);
    if (!answer) return sw(0x63, 0x00);
    Bytes out = std::move(*answer);
    out.insert(out.end(), {0x90, 0x00});
    return out;
}

// Get Data: 00 the IDm, 01 the PMm of the card polled for any system.
Bytes PcscCardAnswers::getData(uint8_t which) {
    if (!profile_.otherCardUid.empty()) {
        if (which != 0) return sw(0x6A, 0x81);
        Bytes out = profile_.otherCardUid;
        out.insert(out.end(), {0x90, 0x00});
        return out;
    }
    const felica::Frame polling = felica::buildPolling({0xFF, 0xFF}, felica::RequestNone, 0);
    std::optional<felica::Frame> a = field_.answer(polling);
    felica::PollingAnswer p;
    std::string why;
    if (!a || !felica::parsePolling(*a, p, why)) return sw(0x6A, 0x81);
    Bytes out = which == 0 ? Bytes(p.idm.begin(), p.idm.end()) : Bytes(p.pmm.begin(), p.pmm.end());
    out.push_back(0x90);
    out.push_back(0x00);
    return out;
}

Bytes PcscCardAnswers::manageSession(std::span<const uint8_t> data) {
    std::vector<DataObject> objects;
    std::string why;
    if (!parseDataObjects(data, objects, why)) return sw(0x6A, 0x80);
    for (size_t i = 0; i < objects.size(); ++i) {
        const uint16_t t = objects[i].tag;
        if (t == tag::StartSession) {
            session_ = true;
        } else if (t == tag::EndSession) {
            session_ = false;
            felica_ = false;
        } else if (t != 0x83 && t != 0x84 && t != tag::Timer) {  // RF off/on and the timer need nothing
            return withStatus(static_cast<uint8_t>(i + 1), 0x6A, 0x81);
        }
    }
    return withStatus(0, 0x90, 0x00);
}

Bytes PcscCardAnswers::switchProtocol(std::span<const uint8_t> data) {
    std::vector<DataObject> objects;
    std::string why;
    if (!parseDataObjects(data, objects, why)) return sw(0x6A, 0x80);
    if (!session_) return sw(0x69, 0x85);
    for (size_t i = 0; i < objects.size(); ++i) {
        const DataObject& o = objects[i];
        if (o.tag != tag::SwitchProtocol || o.value.size() < 1 || o.value[0] != 0x03 ||
            (!profile_.otherCardUid.empty() && profile_.otherCardFailsSwitch))
            return withStatus(static_cast<uint8_t>(i + 1), 0x6A, 0x81);
        felica_ = true;
    }
    return withStatus(0, 0x90, 0x00);
}

Bytes PcscCardAnswers::exchange(std::span<const uint8_t> data) {
    std::vector<DataObject> objects;
    std::string why;
    if (!parseDataObjects(data, objects, why)) return sw(0x6A, 0x80);
    if (!session_ || !felica_) return sw(0x69, 0x85);
    for (size_t i = 0; i < objects.size(); ++i) {
        const DataObject& o = objects[i];
        if (o.tag == tag::Timer) continue;
        if (o.tag != tag::Transceive) return withStatus(static_cast<uint8_t>(i + 1), 0x6A, 0x81);
        const std::vector<uint8_t>& refused = profile_.refusedCommands;
        // The bytes a real RC-S300 answered for a FeliCa command it refused.
        if (o.value.size() >= 2 && std::find(refused.begin(), refused.end(), o.value[1]) != refused.end())
            return withStatus(0x01, 0x6A, 0x80);
        std::optional<felica::Frame> frame;
        if (profile_.otherCardUid.empty()) frame = field_.answer(o.value);
        const uint8_t index = static_cast<uint8_t>(i + 1);
        if (!frame) return withStatus(index, 0x64, 0x01);  // the card did not answer
        Bytes rest{0x92, 0x01, 0x00, 0x96, 0x02, 0x00, 0x00};
        appendDataObject(rest, tag::CardFrame, *frame);
        return withStatus(0, 0x90, 0x00, rest);
    }
    return withStatus(0, 0x90, 0x00);
}

VpcdCard::VpcdCard(std::string folder, uint16_t port, ReaderProfile profile)
    : field_(std::move(folder), "PC/SC simulator"), answers_(field_, std::move(profile)), port_(port) {
    if (::pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { run(); });
}

VpcdCard::~VpcdCard() {
    stop_ = true;
    if (wake_[1] >= 0) {
        const char c = 0;
        [[maybe_unused]] ssize_t w = ::write(wake_[1], &c, 1);
    }
    thread_.join();
    for (int fd : wake_)
        if (fd >= 0) ::close(fd);
}

bool VpcdCard::cardInField() const {
    std::error_code ec;
    return !field_.unplugged() && fs::exists(field_.cardPath(), ec);
}

bool VpcdCard::serveOne(int fd) {
    uint8_t head[2];
    if (!readAll(fd, head, 2)) return false;
    Bytes message(static_cast<size_t>(head[0] << 8 | head[1]));
    if (!readAll(fd, message.data(), message.size())) return false;
    if (message.size() == 1) {
        switch (message[0]) {
        case 0x00:  // power off
        case 0x02:  // reset
            answers_.reset();
            field_.forgetCard();
            return true;
        case 0x01:  // power on
            return true;
        case 0x04:
            return sendMessage(fd, answers_.atr());
        default:
            return true;
        }
    }
    Bytes answer = answers_.answer(message);
    const bool exchange = message.size() >= 4 && message[1] == 0xC2 && message[3] == p2::TransparentExchange;
    return sendMessage(fd, exchange ? garbled(std::move(answer)) : answer);
}

Bytes VpcdCard::garbled(Bytes answer) const {
    switch (fault_.load()) {
    case Fault::None:
        return answer;
    case Fault::OneByte:
        return {0x90};
    case Fault::PastTheEnd:
        return {0xC0, 0x03, 0x00, 0x90, 0x00, 0x97, 0x40, 0x12, 0x01, 0x90, 0x00};
    case Fault::NoStatusObject: {
        Bytes out{0x97, 0x02, 0x02, 0x01};
        out.insert(out.end(), {0x90, 0x00});
        return out;
    }
    case Fault::Refused:
        return {0x6A, 0x81};
    }
    return answer;
}

void VpcdCard::run() {
    int fd = -1;
    while (!stop_) {
        const bool wanted = cardInField();
        if (wanted && fd < 0) {
            fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(port_);
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
                ::close(fd);
                fd = -1;  // vpcd not listening (yet, or pcscd is down): try again
            } else if (fd >= 0) {
                const int one = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            }
        } else if (!wanted && fd >= 0) {
            ::close(fd);  // the card leaves the field
            fd = -1;
            answers_.reset();
            field_.forgetCard();
        }
        // Wait for vpcd or the stop signal; look at the folder again after a
        // short while, as a reader senses its field.
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        const int n = ::poll(fds, fd >= 0 ? 2 : 1, 20);
        if (n > 0 && fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            if (!serveOne(fd)) {
                ::close(fd);
                fd = -1;
                answers_.reset();
                field_.forgetCard();
            }
        }
    }
    if (fd >= 0) ::close(fd);
}

}  // namespace tovani::test
