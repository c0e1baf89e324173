#include "pn532_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <numeric>

namespace tovani::test::pn532 {

namespace {

uint8_t sum(std::span<const uint8_t> bytes) {
    return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

// Command codes of the chip (the answer code is one more).
namespace cmd {
constexpr uint8_t Diagnose = 0x00;
constexpr uint8_t GetFirmwareVersion = 0x02;
constexpr uint8_t GetGeneralStatus = 0x04;
constexpr uint8_t ReadRegister = 0x06;
constexpr uint8_t WriteRegister = 0x08;
constexpr uint8_t ReadGpio = 0x0C;
constexpr uint8_t WriteGpio = 0x0E;
constexpr uint8_t SetSerialBaudRate = 0x10;
constexpr uint8_t SetParameters = 0x12;
constexpr uint8_t SamConfiguration = 0x14;
constexpr uint8_t PowerDown = 0x16;
constexpr uint8_t RfConfiguration = 0x32;
constexpr uint8_t InDataExchange = 0x40;
constexpr uint8_t InCommunicateThru = 0x42;
constexpr uint8_t InDeselect = 0x44;
constexpr uint8_t InListPassiveTarget = 0x4A;
constexpr uint8_t InSelect = 0x4E;
constexpr uint8_t InRelease = 0x52;
}  // namespace cmd

constexpr uint8_t StatusOk = 0x00;
constexpr uint8_t StatusTimeout = 0x01;       // the card did not answer
constexpr uint8_t StatusNotPossible = 0x27;   // no target to talk to

// Baud rate / modulation types of InListPassiveTarget that mean FeliCa.
constexpr uint8_t FelicaAt212 = 0x01;
constexpr uint8_t FelicaAt424 = 0x02;

std::vector<uint8_t> reply(uint8_t command, std::initializer_list<uint8_t> data = {}) {
    std::vector<uint8_t> out{ChipToHost, static_cast<uint8_t>(command + 1)};
    out.insert(out.end(), data);
    return out;
}

const std::vector<uint8_t> Refused{0x7F};

}  // namespace

std::vector<uint8_t> frame(std::span<const uint8_t> payload) {
    std::vector<uint8_t> out{0x00, 0x00, 0xFF};
    const size_t n = payload.size();
    if (n == 0 || n > 0xFFFF) return {};
    if (n <= 0xFF) {
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(0x100 - n));
    } else {
        const uint8_t hi = static_cast<uint8_t>(n >> 8), lo = static_cast<uint8_t>(n & 0xFF);
        out.insert(out.end(), {0xFF, 0xFF, hi, lo, static_cast<uint8_t>(0x100 - ((hi + lo) & 0xFF))});
    }
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(static_cast<uint8_t>(0x100 - sum(payload)));
    out.push_back(0x00);
    return out;
}

// --- host frames -------------------------------------------------------------

void FrameReader::feed(std::span<const uint8_t> bytes) { buffer_.insert(buffer_.end(), bytes.begin(), bytes.end()); }

std::optional<FrameReader::Item> FrameReader::next() {
    for (;;) {
        // The start code 00 FF; anything before it is preamble or noise.
        size_t start = 0;
        while (start + 1 < buffer_.size() && !(buffer_[start] == 0x00 && buffer_[start + 1] == 0xFF)) ++start;
        if (start + 1 >= buffer_.size()) {
            // Keep a trailing 00: it may begin the next start code.
            const bool keep = !buffer_.empty() && buffer_.back() == 0x00;
            buffer_.erase(buffer_.begin(), buffer_.end() - (keep ? 1 : 0));
            return std::nullopt;
        }
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start + 2));
        if (buffer_.size() < 2) {
            buffer_.insert(buffer_.begin(), {0x00, 0xFF});
            return std::nullopt;
        }
        auto consume = [&](size_t n) { buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n)); };
        auto restore = [&] {
            buffer_.insert(buffer_.begin(), {0x00, 0xFF});
            return std::nullopt;
        };
        if (buffer_[0] == 0x00 && buffer_[1] == 0xFF) {
            consume(2);
            return Item{Kind::Acknowledge, {}, {}};
        }
        if (buffer_[0] == 0xFF && buffer_[1] == 0x00) {
            consume(2);
            return Item{Kind::NotAcknowledge, {}, {}};
        }
        size_t length = 0, head = 0;
        if (buffer_[0] == 0xFF && buffer_[1] == 0xFF) {
            if (buffer_.size() < 5) return restore();
            if (static_cast<uint8_t>(buffer_[2] + buffer_[3] + buffer_[4]) != 0) {
                consume(2);
                return Item{Kind::Bad, {}, "extended frame: length checksum does not add up"};
            }
            length = (static_cast<size_t>(buffer_[2]) << 8) | buffer_[3];
            head = 5;
        } else {
            if (static_cast<uint8_t>(buffer_[0] + buffer_[1]) != 0) {
                consume(1);
                return Item{Kind::Bad, {}, "length checksum does not add up"};
            }
            length = buffer_[0];
            head = 2;
        }
        if (length == 0) {
            consume(head);
            return Item{Kind::Bad, {}, "empty frame"};
        }
        if (buffer_.size() < head + length + 1) return restore();
        std::span<const uint8_t> payload(buffer_.data() + head, length);
        const uint8_t dcs = buffer_[head + length];
        Item item;
        if (static_cast<uint8_t>(sum(payload) + dcs) != 0) {
            item = {Kind::Bad, {}, "data checksum does not add up"};
        } else if (payload[0] != HostToChip) {
            item = {Kind::Bad, {}, "not a frame from the host"};
        } else {
            item = {Kind::Command, {payload.begin(), payload.end()}, {}};
        }
        consume(head + length + 1);
        return item;
    }
}

// --- the chip ------------------------------------------------------------------

void Chip::reset() {
    targetSelected_ = false;
    fieldOn_ = false;
    registers_.clear();
    field_.forgetCard();
}

std::vector<uint8_t> Chip::answer(std::span<const uint8_t> command) {
    if (command.size() < 2 || command[0] != HostToChip) return Refused;
    const uint8_t code = command[1];
    const std::span<const uint8_t> params = command.subspan(2);
    switch (code) {
    case cmd::Diagnose: {
        if (params.empty()) return Refused;
        // The communication test echoes what it was sent; other tests pass.
        if (params[0] != 0x00) return reply(code, {StatusOk});
        std::vector<uint8_t> out = reply(code);
        out.insert(out.end(), params.begin(), params.end());
        return out;
    }
    case cmd::GetFirmwareVersion:
        return reply(code, {0x32, 0x01, 0x06, 0x07});  // PN532, firmware 1.6, every card family
    case cmd::GetGeneralStatus:
        if (targetSelected_) return reply(code, {0x00, fieldOn_ ? uint8_t{1} : uint8_t{0}, 0x01, 0x01, 0x02, 0x02, 0x10, 0x00});
        return reply(code, {0x00, fieldOn_ ? uint8_t{1} : uint8_t{0}, 0x00, 0x00});
    case cmd::ReadRegister: {
        if (params.empty() || params.size() % 2 != 0) return Refused;
        std::vector<uint8_t> out = reply(code);
        for (size_t i = 0; i < params.size(); i += 2) {
            const auto it = registers_.find(static_cast<uint16_t>((params[i] << 8) | params[i + 1]));
            out.push_back(it == registers_.end() ? 0x00 : it->second);
        }
        return out;
    }
    case cmd::WriteRegister:
        if (params.empty() || params.size() % 3 != 0) return Refused;
        for (size_t i = 0; i < params.size(); i += 3)
            registers_[static_cast<uint16_t>((params[i] << 8) | params[i + 1])] = params[i + 2];
        return reply(code);
    case cmd::ReadGpio:
        return reply(code, {0xFF, 0xFF, 0x00});
    case cmd::WriteGpio:
    case cmd::SetSerialBaudRate:
    case cmd::SetParameters:
    case cmd::SamConfiguration:
        return reply(code);
    case cmd::PowerDown:
        targetSelected_ = false;
        fieldOn_ = false;
        return reply(code, {StatusOk});
    case cmd::RfConfiguration:
        if (params.empty()) return Refused;
        if (params[0] == 0x01 && params.size() >= 2) {
            fieldOn_ = (params[1] & 0x01) != 0;
            if (!fieldOn_) targetSelected_ = false;
        }
        return reply(code);
    case cmd::InListPassiveTarget:
        return listPassiveTarget(params);
    case cmd::InDataExchange:
        // The target number, then the card's frame as it goes over the air.
        if (params.empty()) return Refused;
        if (params[0] != 0x01) return reply(code, {StatusNotPossible});
        return exchange(code, params.subspan(1));
    case cmd::InCommunicateThru:
        return exchange(code, params);
    case cmd::InSelect:
        return reply(code, {targetSelected_ ? StatusOk : StatusNotPossible});
    case cmd::InDeselect:
    case cmd::InRelease:
        targetSelected_ = false;
        return reply(code, {StatusOk});
    default:
        return Refused;
    }
}

std::vector<uint8_t> Chip::listPassiveTarget(std::span<const uint8_t> params) {
    if (params.size() < 2 || params[0] == 0 || params[0] > 2) return Refused;
    targetSelected_ = false;
    const uint8_t type = params[1];
    const std::span<const uint8_t> init = params.subspan(2);
    if (type != FelicaAt212 && type != FelicaAt424) return reply(cmd::InListPassiveTarget, {0x00});
    // The FeliCa initiator data is the Polling command without its length byte.
    if (init.size() != 5) return Refused;
    fieldOn_ = true;
    felica::Frame polling{static_cast<uint8_t>(init.size() + 1)};
    polling.insert(polling.end(), init.begin(), init.end());
    const std::optional<felica::Frame> card = field_.answer(polling);
    if (!card) return reply(cmd::InListPassiveTarget, {0x00});
    targetSelected_ = true;
    // One target, number 1, then the Polling answer from its own length byte on.
    std::vector<uint8_t> out = reply(cmd::InListPassiveTarget, {0x01, 0x01});
    out.insert(out.end(), card->begin(), card->end());
    return out;
}

std::vector<uint8_t> Chip::exchange(uint8_t commandCode, std::span<const uint8_t> cardFrame) {
    if (!targetSelected_ && commandCode == cmd::InDataExchange) return reply(commandCode, {StatusNotPossible});
    const std::optional<felica::Frame> card = fieldOn_ ? field_.answer(cardFrame) : std::nullopt;
    if (!card) return reply(commandCode, {StatusTimeout});
    std::vector<uint8_t> out = reply(commandCode, {StatusOk});
    out.insert(out.end(), card->begin(), card->end());
    return out;
}

// --- the pseudo-terminal -------------------------------------------------------

Simulator::Simulator(std::string folder) : field_(std::move(folder), "PN532 simulator"), chip_(field_) {}

Simulator::~Simulator() { stop(); }

bool Simulator::start(std::string& why) {
    auto failed = [&](const char* what) {
        why = std::string(what) + ": " + std::strerror(errno);
        stop();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return failed("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) return failed("grantpt/unlockpt");
    const char* name = ptsname(master_);
    if (!name) return failed("ptsname");
    ttyPath_ = name;
    // Held open by the simulator so that the terminal never hangs up while
    // the driver closes and reopens it; raw so that nothing is echoed.
    slave_ = ::open(ttyPath_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0) return failed("open terminal");
    termios t{};
    if (tcgetattr(slave_, &t) != 0) return failed("tcgetattr");
    cfmakeraw(&t);
    if (tcsetattr(slave_, TCSANOW, &t) != 0) return failed("tcsetattr");
    if (pipe2(wake_, O_CLOEXEC) != 0) return failed("pipe");
    wasUnplugged_ = field_.unplugged();
    thread_ = std::thread([this] { run(); });
    return true;
}

void Simulator::stop() {
    if (thread_.joinable()) {
        const char b = 0;
        [[maybe_unused]] ssize_t n = ::write(wake_[1], &b, 1);
        thread_.join();
    }
    for (int* fd : {&master_, &slave_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void Simulator::run() {
    FrameReader reader;
    std::array<uint8_t, 4096> buf{};
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::cerr << "PN532 simulator: poll: " << std::strerror(errno) << std::endl;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const ssize_t n = ::read(master_, buf.data(), buf.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EIO)) continue;
        if (n <= 0) return;
        reader.feed(std::span<const uint8_t>(buf.data(), static_cast<size_t>(n)));
        while (std::optional<FrameReader::Item> item = reader.next()) handle(std::move(*item));
    }
}

void Simulator::handle(FrameReader::Item item) {
    // A pulled board hears nothing; once back it starts from power-up.
    const bool unplugged = field_.unplugged();
    if (unplugged) {
        wasUnplugged_ = true;
        return;
    }
    if (wasUnplugged_) {
        chip_.reset();
        wasUnplugged_ = false;
    }
    switch (item.kind) {
    case FrameReader::Kind::Acknowledge:  // the host gave up on a command: nothing to send
        return;
    case FrameReader::Kind::NotAcknowledge:
        send(lastAnswer_);
        return;
    case FrameReader::Kind::Bad:
        std::cerr << "PN532 simulator: frame dropped: " << item.why << std::endl;
        return;
    case FrameReader::Kind::Command:
        break;
    }
    const std::vector<uint8_t> payload = chip_.answer(item.payload);
    const bool refused = payload == std::vector<uint8_t>{0x7F};
    if (refused) ++refused_;
    lastAnswer_ = refused ? std::vector<uint8_t>(ErrorFrame.begin(), ErrorFrame.end()) : frame(payload);
    const Fault fault = fault_.load();
    const int faultCommand = faultCommand_.load();
    const int command = item.payload.size() >= 2 ? item.payload[1] : -1;
    if (fault != Fault::None && (faultCommand < 0 || faultCommand == command) && lastAnswer_.size() > 6) {
        switch (fault) {
        case Fault::DataChecksum:
            lastAnswer_[lastAnswer_.size() - 2] ^= 0x5A;
            break;
        case Fault::LengthChecksum:
            lastAnswer_[4] ^= 0x5A;
            break;
        case Fault::Truncated:
            lastAnswer_.resize(lastAnswer_.size() - 3);
            break;
        case Fault::None:
            break;
        }
    }
    std::vector<uint8_t> out(Ack.begin(), Ack.end());
    out.insert(out.end(), lastAnswer_.begin(), lastAnswer_.end());
    send(out);
    ++commands_;
}

void Simulator::send(std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::cerr << "PN532 simulator: write: " << std::strerror(errno) << std::endl;
            return;
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace tovani::test::pn532
