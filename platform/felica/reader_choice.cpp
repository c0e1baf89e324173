#include "platform/felica/reader_choice.h"

#include <cstdlib>
#include <functional>
#include <optional>
#include <iostream>

#include <nfc/nfc.h>

#include "platform/felica/libnfc_reader.h"
#include "platform/felica/pcsc/pcsc_reader.h"
#include "platform/felica/usb/usb_reader.h"
#include "platform/felica/virtual_reader.h"

namespace tovani::felica {

namespace {

using Maker = std::function<std::unique_ptr<Transport>()>;

// The first candidate that opens; the others are not kept open.
class FirstThatOpens : public Transport {
public:
    explicit FirstThatOpens(std::vector<std::pair<std::string, Maker>> candidates)
        : candidates_(std::move(candidates)) {}

    OpenResult open() override {
        close();
        OpenResult worst = OpenResult::NotFound;
        for (const auto& [what, make] : candidates_) {
            std::unique_ptr<Transport> t = make();
            const OpenResult r = t->open();
            if (r == OpenResult::Opened) {
                chosen_ = std::move(t);
                return r;
            }
            detail_ = t->lastDetail();
            if (r == OpenResult::OpenFailed) worst = r;
        }
        std::cerr << "no reader/writer found: no PC/SC reader, USB reader or libnfc device answered "
                     "(tovani-card readers lists what there is; TOVANI_READER chooses one)"
                  << std::endl;
        return worst;
    }
    void close() override {
        if (chosen_) chosen_->close();
        chosen_.reset();
    }
    bool isAlive() override { return chosen_ && chosen_->isAlive(); }
    Exchange transceive(std::span<const uint8_t> command, Frame& response) override {
        if (!chosen_) return Exchange::ReaderFault;
        return chosen_->transceive(command, response);
    }
    Exchange cardIdentity(Idm& idm, Pmm& pmm) override {
        return chosen_ ? chosen_->cardIdentity(idm, pmm) : Exchange::ReaderFault;
    }
    size_t maxBlocksPerRead() const override { return chosen_ ? chosen_->maxBlocksPerRead() : 1; }
    int32_t lastDetail() const override { return chosen_ ? chosen_->lastDetail() : detail_; }

private:
    std::vector<std::pair<std::string, Maker>> candidates_;
    std::unique_ptr<Transport> chosen_;
    int32_t detail_ = 0;
};

// A request that names no reader the component knows: said once at every
// open, and no reader/writer is found.
class UnusableRequest : public Transport {
public:
    explicit UnusableRequest(std::string why) : why_(std::move(why)) {}
    OpenResult open() override {
        std::cerr << why_ << std::endl;
        return OpenResult::NotFound;
    }
    void close() override {}
    bool isAlive() override { return false; }
    Exchange transceive(std::span<const uint8_t>, Frame& response) override {
        response.clear();
        return Exchange::ReaderFault;
    }
    size_t maxBlocksPerRead() const override { return 1; }

private:
    std::string why_;
};

}  // namespace

ReaderRequest readerRequest(const char* virtualReader, const char* tovaniReader) {
    if (virtualReader && *virtualReader) return {ReaderRequest::Virtual, virtualReader};
    if (!tovaniReader || !*tovaniReader) return {ReaderRequest::Automatic, {}};
    const std::string value = tovaniReader;
    const auto named = [&](const std::string& kind, ReaderRequest::Kind k) -> std::optional<ReaderRequest> {
        if (value == kind) return ReaderRequest{k, {}};
        if (value.rfind(kind + ":", 0) != 0) return std::nullopt;
        std::string rest = value.substr(kind.size() + 1);
        if (rest.empty()) return ReaderRequest{ReaderRequest::Invalid, "TOVANI_READER=" + value + ": nothing after \":\""};
        return ReaderRequest{k, std::move(rest)};
    };
    if (auto r = named("pcsc", ReaderRequest::Pcsc)) return *r;
    if (auto r = named("libnfc", ReaderRequest::Libnfc)) return *r;
    if (auto r = named("usb", ReaderRequest::Usb)) {
        uint8_t bus = 0, address = 0;
        if (r->kind != ReaderRequest::Usb || r->detail.empty() || parseUsbBusAddress(r->detail, bus, address)) return *r;
        return {ReaderRequest::Invalid, "TOVANI_READER=" + value + ": expected usb:<bus>:<address>, e.g. usb:001:005"};
    }
    return {ReaderRequest::Invalid, "TOVANI_READER=" + value +
                                        ": expected pcsc, pcsc:<reader name>, libnfc, libnfc:<connection string>, "
                                        "usb or usb:<bus>:<address>"};
}

std::unique_ptr<Transport> makeTransport(const ReaderRequest& request) {
    switch (request.kind) {
    case ReaderRequest::Virtual:
        return std::make_unique<VirtualReader>(request.detail);
    case ReaderRequest::Pcsc:
        return makePcscTransport({request.detail});
    case ReaderRequest::Libnfc:
        return makeLibnfcTransport(request.detail);
    case ReaderRequest::Usb:
        return makeUsbTransport({request.detail});
    case ReaderRequest::Invalid:
        return std::make_unique<UnusableRequest>(request.detail);
    case ReaderRequest::Automatic:
        break;
    }
    // Each candidate stays quiet about finding nothing: only when none opens
    // is that worth a message.
    return std::make_unique<FirstThatOpens>(std::vector<std::pair<std::string, Maker>>{
        {"PC/SC reader with a FeliCa card", [] { return makePcscTransport({{}, true, true}); }},
        {"USB reader", [] { return makeUsbTransport({{}, true}); }},
        {"libnfc device", [] { return makeLibnfcTransport(); }},
        {"PC/SC reader", [] { return makePcscTransport({{}, false, true}); }},
    });
}

std::unique_ptr<Transport> makeDefaultTransport() {
    return makeTransport(readerRequest(std::getenv("FELICA_VIRTUAL_READER"), std::getenv("TOVANI_READER")));
}

std::vector<FoundReader> findReaders(std::vector<std::string>& problems) {
    std::vector<FoundReader> found;
    problems.clear();

    if (const char* folder = std::getenv("FELICA_VIRTUAL_READER"); folder && *folder) {
        VirtualReader v(folder);
        const bool opens = v.open() == OpenResult::Opened;
        const bool alive = opens && v.isAlive();
        v.close();
        found.push_back({folder, "virtual reader (FELICA_VIRTUAL_READER)", alive,
                         !opens ? "the folder is missing" : alive ? "" : "unplugged", "virtual"});
    }

    std::vector<PcscReaderInfo> pcsc;
    std::string why;
    if (!listPcscReaders(pcsc, why)) problems.push_back("PC/SC: " + why);
    for (const PcscReaderInfo& r : pcsc) {
        const char* note = r.felicaCard ? "a FeliCa card lies on it" : r.cardPresent ? "a card of another kind lies on it" : "no card";
        found.push_back({"pcsc:" + r.name, r.name, r.answers, r.answers ? note : "pcscd cannot reach it", r.route});
    }

    std::vector<UsbReaderInfo> usb;
    if (!listUsbReaders(usb, why)) problems.push_back("USB: " + why);
    for (const UsbReaderInfo& r : usb) found.push_back({"usb:" + r.busAddress, r.name, r.answers, r.note, "usb"});

    nfc_context* context = nullptr;
    nfc_init(&context);
    if (!context) {
        problems.push_back("libnfc: could not be initialised");
        return found;
    }
    nfc_connstring devices[8];
    const size_t count = nfc_list_devices(context, devices, 8);
    std::vector<std::string> connections;
    for (size_t i = 0; i < count; ++i) connections.emplace_back(devices[i]);
    // A device the variable names is looked at even when libnfc does not list it.
    const ReaderRequest request = readerRequest(nullptr, std::getenv("TOVANI_READER"));
    if (request.kind == ReaderRequest::Libnfc && !request.detail.empty()) {
        bool listed = false;
        for (const std::string& c : connections) listed = listed || c == request.detail;
        if (!listed) connections.push_back(request.detail);
    }
    for (const std::string& connection : connections) {
        FoundReader r{"libnfc:" + connection, {}, false, {}, "libnfc"};
        if (nfc_device* device = nfc_open(context, connection.c_str())) {
            r.name = nfc_device_get_name(device);
            nfc_close(device);
        }
        std::unique_ptr<Transport> t = makeLibnfcTransport(connection);
        const OpenResult opened = t->open();
        r.answers = opened == OpenResult::Opened && t->isAlive();
        t->close();
        if (!r.answers) r.note = opened == OpenResult::Opened ? "does not answer" : "cannot be opened";
        found.push_back(std::move(r));
    }
    nfc_exit(context);
    return found;
}

}  // namespace tovani::felica
