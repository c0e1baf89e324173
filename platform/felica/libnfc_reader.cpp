#include "platform/felica/libnfc_reader.h"

#include <algorithm>

#include <nfc/nfc.h>

#include "platform/felica/reader_log.h"

namespace tovani::felica {

namespace libnfc_frames {

std::vector<uint8_t> pollingInitData(std::span<const uint8_t> command) {
    if (command.size() != 6 || command[0] != 6 || command[1] != code::Polling) return {};
    return {command.begin() + 1, command.end()};
}

std::optional<Frame> pollingAnswerFromTarget(const nfc_felica_info& info) {
    // szLen is the card's own length byte: 18, or 20 with the system code.
    if (info.szLen != 18 && info.szLen != 20) return std::nullopt;
    if (info.btResCode != code::PollingResponse) return std::nullopt;
    Idm idm;
    Pmm pmm;
    std::copy_n(info.abtId, 8, idm.begin());
    std::copy_n(info.abtPad, 8, pmm.begin());
    const std::array<uint8_t, 2> systemCode{info.abtSysCode[0], info.abtSysCode[1]};
    return buildPollingAnswer(idm, pmm, info.szLen == 20 ? &systemCode : nullptr);
}

Exchange classifyError(int error) {
    switch (error) {
    case NFC_ERFTRANS:
    case NFC_ETGRELEASED:
        return Exchange::NoAnswer;
    default:
        return Exchange::ReaderFault;
    }
}

Exchange classifyTransceive(int result, std::span<const uint8_t> received, Frame& response) {
    response.clear();
    if (result < 0) return classifyError(result);
    size_t count = static_cast<size_t>(result);
    if (count == 0 || count > received.size() || received[0] != count) return Exchange::NoAnswer;
    response.assign(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(count));
    return Exchange::Answered;
}

}  // namespace libnfc_frames

namespace {

class LibnfcReader : public Transport {
public:
    explicit LibnfcReader(std::string connectionString) : connection_(std::move(connectionString)) {}
    ~LibnfcReader() override { close(); }

    OpenResult open() override {
        close();
        log_.emplace();
        nfc_init(&context_);
        if (!context_) return OpenResult::OpenFailed;
        device_ = nfc_open(context_, connection_.empty() ? nullptr : connection_.c_str());
        if (!device_) {
            nfc_exit(context_);
            context_ = nullptr;
            return OpenResult::NotFound;
        }
        int r = nfc_initiator_init(device_);
        // Polling must come back when no card is there, not wait for one.
        if (r >= 0) r = nfc_device_set_property_bool(device_, NP_INFINITE_SELECT, false);
        if (r < 0) {
            detail_ = r;
            close();
            return OpenResult::OpenFailed;
        }
        return OpenResult::Opened;
    }

    void close() override {
        if (device_) nfc_close(device_);
        device_ = nullptr;
        if (context_) nfc_exit(context_);
        context_ = nullptr;
        log_.reset();
    }

    bool isAlive() override {
        if (!device_) return false;
        // Switching the field on is a command the chip must acknowledge;
        // libnfc's device information comes from memory and would still
        // be there after the reader was pulled. Polling needs the field on
        // anyway.
        const int r = nfc_device_set_property_bool(device_, NP_ACTIVATE_FIELD, true);
        if (r < 0) detail_ = r;
        return r >= 0;
    }

    Exchange transceive(std::span<const uint8_t> command, Frame& response) override {
        response.clear();
        if (!device_) return Exchange::ReaderFault;
        logExchange("libnfc", LogDirection::ToReader, command);
        std::vector<uint8_t> init = libnfc_frames::pollingInitData(command);
        Exchange e;
        if (!init.empty()) {
            e = poll(init, response);
        } else {
            std::array<uint8_t, MaxFrameLength> rx{};
            int r = nfc_initiator_transceive_bytes(device_, command.data(), command.size(), rx.data(), rx.size(),
                                                   libnfc_frames::TimeoutMs);
            if (r < 0) detail_ = r;
            e = libnfc_frames::classifyTransceive(r, rx, response);
        }
        if (e == Exchange::Answered) {
            logExchange("libnfc", LogDirection::FromReader, response);
        } else {
            logNote("libnfc", e == Exchange::NoAnswer ? "no answer" : "reader failure (libnfc error " +
                                                                         std::to_string(detail_) + ")");
        }
        return e;
    }

    size_t maxBlocksPerRead() const override { return libnfc_frames::MaxBlocksPerRead; }
    int32_t lastDetail() const override { return detail_; }

private:
    Exchange poll(const std::vector<uint8_t>& init, Frame& response) {
        const nfc_modulation modulation{NMT_FELICA, NBR_212};
        nfc_target target{};
        int r = nfc_initiator_select_passive_target(device_, modulation, init.data(), init.size(), &target);
        if (r < 0) {
            detail_ = r;
            return libnfc_frames::classifyError(r);
        }
        if (r == 0) return Exchange::NoAnswer;
        std::optional<Frame> answer = libnfc_frames::pollingAnswerFromTarget(target.nti.nfi);
        if (!answer) return Exchange::NoAnswer;
        response = std::move(*answer);
        return Exchange::Answered;
    }

    std::string connection_;
    nfc_context* context_ = nullptr;
    nfc_device* device_ = nullptr;
    int32_t detail_ = 0;
    std::optional<ReaderLogConnection> log_;
};

}  // namespace

std::unique_ptr<Transport> makeLibnfcTransport(const std::string& connectionString) {
    return std::make_unique<LibnfcReader>(connectionString);
}

extern const bool libnfcRouteAvailable = true;

bool listLibnfcDevices(const std::string& also, std::vector<LibnfcDeviceInfo>& out, std::string& why) {
    out.clear();
    nfc_context* context = nullptr;
    nfc_init(&context);
    if (!context) {
        why = "could not be initialised";
        return false;
    }
    nfc_connstring devices[8];
    const size_t count = nfc_list_devices(context, devices, 8);
    std::vector<std::string> connections;
    for (size_t i = 0; i < count; ++i) connections.emplace_back(devices[i]);
    // A device the user names is looked at even when libnfc does not list it.
    if (!also.empty() && std::find(connections.begin(), connections.end(), also) == connections.end())
        connections.push_back(also);
    for (const std::string& connection : connections) {
        LibnfcDeviceInfo r{connection, {}, false, {}};
        if (nfc_device* device = nfc_open(context, connection.c_str())) {
            r.name = nfc_device_get_name(device);
            nfc_close(device);
        }
        std::unique_ptr<Transport> t = makeLibnfcTransport(connection);
        const OpenResult opened = t->open();
        r.answers = opened == OpenResult::Opened && t->isAlive();
        t->close();
        if (!r.answers) r.note = opened == OpenResult::Opened ? "does not answer" : "cannot be opened";
        out.push_back(std::move(r));
    }
    nfc_exit(context);
    return true;
}

}  // namespace tovani::felica
