#include "platform/felica/reader_choice.h"

#include <algorithm>
#include <iostream>
#include <optional>

#include "platform/felica/libnfc_devices.h"
#include "platform/felica/reader_help.h"
#include "platform/felica/pcsc/pcsc_reader.h"
#include "platform/felica/pcsc/pcsc_system.h"
#include "platform/felica/usb/usb_frames.h"
#include "platform/felica/usb/usb_reader.h"
#include "platform/felica/virtual_reader.h"
#include "platform/os/process.h"

namespace tovani::felica {

namespace {

// "PC/SC reader, USB reader or libnfc device": the kinds this build can open.
std::string availableKinds() {
    std::vector<std::string> kinds;
    for (const ReaderRoute& route : readerRoutes())
        if (route.available) kinds.push_back(route.kind == ReaderRequest::Pcsc     ? "PC/SC reader"
                                             : route.kind == ReaderRequest::Usb    ? "USB reader"
                                                                                   : "libnfc device");
    std::string out;
    for (size_t i = 0; i < kinds.size(); ++i)
        out += (i == 0 ? "" : i + 1 == kinds.size() ? " or " : ", ") + kinds[i];
    return out;
}

// The first candidate of the automatic order that opens; the others are
// not kept open.
class FirstThatOpens : public Transport {
public:
    OpenResult open() override {
        close();
        OpenResult worst = OpenResult::NotFound;
        for (const AutomaticCandidate& candidate : automaticOrder()) {
            std::unique_ptr<Transport> t = candidate.make();
            const OpenResult r = t->open();
            if (r == OpenResult::Opened) {
                chosen_ = std::move(t);
                return r;
            }
            detail_ = t->lastDetail();
            if (r == OpenResult::OpenFailed) worst = r;
        }
        std::cerr << "no reader/writer found: no " << availableKinds() << " answered "
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

std::span<const ReaderRoute> readerRoutes() {
    static const ReaderRoute routes[] = {
        {"pcsc", ReaderRequest::Pcsc, "the first PC/SC reader", "NAME",
         "that PC/SC reader, named as tovani-card readers shows it", "pcsc:SONY FeliCa RC-S300/P 00 00", nullptr,
         [](const std::string& name) { return makePcscTransport({name}); }, true},
        {"libnfc", ReaderRequest::Libnfc, "the first libnfc device", "CONNECTION", "that libnfc device",
         "libnfc:pn532_uart:/dev/ttyUSB0", nullptr,
         [](const std::string& connection) { return makeLibnfcTransport(connection); }, libnfcRouteAvailable},
        {"usb", ReaderRequest::Usb, "the first RC-S380-class USB reader", "BUS:ADDRESS",
         "that USB reader, numbered as lsusb shows it", "usb:001:005",
         [](const std::string& detail) {
             uint8_t bus = 0, address = 0;
             return parseUsbBusAddress(detail, bus, address);
         },
         [](const std::string& busAddress) { return makeUsbTransport({busAddress}); }, usbRouteAvailable},
    };
    return routes;
}

// Each candidate stays quiet about finding nothing: only when none opens is
// that worth a message.
std::span<const AutomaticCandidate> automaticOrder() {
    static const AutomaticCandidate order[] = {
        {"the first PC/SC reader showing a FeliCa card", [] { return makePcscTransport({{}, true, true}); },
         ReaderRequest::Pcsc},
        {"the first RC-S380-class USB reader", [] { return makeUsbTransport({{}, true}); }, ReaderRequest::Usb},
        {"the first libnfc device", [] { return makeLibnfcTransport(); }, ReaderRequest::Libnfc},
        {"the first PC/SC reader", [] { return makePcscTransport({{}, false, true}); }, ReaderRequest::Pcsc},
    };
    static const std::vector<AutomaticCandidate> here = [] {
        std::vector<AutomaticCandidate> out;
        for (const AutomaticCandidate& c : order)
            for (const ReaderRoute& route : readerRoutes())
                if (route.kind == c.route && route.available) out.push_back(c);
        return out;
    }();
    return here;
}

ReaderRequest readerRequest(const char* virtualReader, const char* tovaniReader) {
    if (virtualReader && *virtualReader) return {ReaderRequest::Virtual, virtualReader};
    if (!tovaniReader || !*tovaniReader) return {ReaderRequest::Automatic, {}};
    const std::string value = tovaniReader;
    const auto invalid = [&](const std::string& why) {
        return ReaderRequest{ReaderRequest::Invalid, "TOVANI_READER=" + value + ": " + why};
    };
    std::string forms;
    for (const ReaderRoute& route : readerRoutes())
        if (route.available)
            forms += (forms.empty() ? "" : ", ") + std::string(route.name) + ", " + route.name + ":" + route.detail;
    for (const ReaderRoute& route : readerRoutes()) {
        const std::string name = route.name;
        if (value != name && !value.starts_with(name + ":")) continue;
        if (!route.available)
            return invalid("the " + name + " route (" + route.first +
                           ") is available on Linux only; on this system: " + forms);
        if (value == name) return {route.kind, {}};
        std::string rest = value.substr(name.size() + 1);
        if (rest.empty()) return invalid("nothing after \":\"");
        if (route.detailValid && !route.detailValid(rest))
            return invalid("expected " + name + ":" + route.detail + ", e.g. " + route.example);
        return {route.kind, std::move(rest)};
    }
    return invalid("expected one of " + forms);
}

std::unique_ptr<Transport> makeTransport(const ReaderRequest& request) {
    switch (request.kind) {
    case ReaderRequest::Virtual:
        return std::make_unique<VirtualReader>(request.detail);
    case ReaderRequest::Invalid:
        return std::make_unique<UnusableRequest>(request.detail);
    case ReaderRequest::Automatic:
        return std::make_unique<FirstThatOpens>();
    default:
        break;
    }
    for (const ReaderRoute& route : readerRoutes())
        if (route.kind == request.kind) return route.make(request.detail);
    return std::make_unique<UnusableRequest>("no route for this reader choice");
}

namespace {

// Fills `out` with `text` from column `indent`, broken between words so that
// no line passes column 79 unless one word alone does; the first line goes
// on from what `out` holds already.
void wrapped(std::string& out, const std::string& text, size_t indent) {
    constexpr size_t Width = 79;
    size_t column = out.size() - (out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    size_t pos = 0;
    bool lineStart = true;
    while (pos < text.size()) {
        const size_t end = std::min(text.find(' ', pos), text.size());
        const std::string word = text.substr(pos, end - pos);
        if (!lineStart && column + 1 + word.size() > Width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineStart = true;
        }
        if (!lineStart) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineStart = false;
        pos = end + 1;
    }
    out += '\n';
}

}  // namespace

std::string readerEnvironmentHelp() {
    constexpr size_t Text = 25;  // where the explanations start, as in every help text
    std::string out =
        "  FELICA_VIRTUAL_READER  a folder to use as the reader/writer: the card image\n"
        "                         card.json in it is the card lying on it, a file named\n"
        "                         unplugged unplugs it (wins over TOVANI_READER)\n";
    // One entry per value, as help2man makes its man page entries.
    const auto entry = [&](const std::string& term, const std::string& text) {
        out += "  " + term;
        if (2 + term.size() + 2 <= Text)
            out += std::string(Text - 2 - term.size(), ' ');
        else
            out += "\n" + std::string(Text, ' ');
        wrapped(out, text, Text);
    };
    for (const ReaderRoute& route : readerRoutes()) {
        if (!route.available) continue;
        const std::string name = std::string("TOVANI_READER=") + route.name;
        entry(name, route.first);
        entry(name + ":" + route.detail, std::string(route.chosen) + ", e.g. " + route.example);
    }
    std::string automatic;
    const std::span<const AutomaticCandidate> order = automaticOrder();
    for (size_t i = 0; i < order.size(); ++i) automatic += std::string(i == 0 ? "" : ", else ") + order[i].what;
    entry("TOVANI_READER unset", automatic);
    out +=
        "  TOVANI_READER_LOG      a private file (0600) to which every exchange with the\n"
        "                         reader/writer is appended, up to 16 MiB\n";
    if (libnfcRouteAvailable)
        out +=
            "  LIBNFC_*               libnfc's own settings, e.g. LIBNFC_DEVICE and\n"
            "                         LIBNFC_LOG_LEVEL\n";
    return out;
}

std::unique_ptr<Transport> makeDefaultTransport() {
    const std::optional<std::string> virtualReader = os::environmentVariable("FELICA_VIRTUAL_READER");
    const std::optional<std::string> tovaniReader = os::environmentVariable("TOVANI_READER");
    return makeTransport(readerRequest(virtualReader ? virtualReader->c_str() : nullptr,
                                       tovaniReader ? tovaniReader->c_str() : nullptr));
}

std::vector<FoundReader> findReaders(std::vector<std::string>& problems) {
    std::vector<FoundReader> found;
    problems.clear();

    if (const std::optional<std::string> folder = os::environmentVariable("FELICA_VIRTUAL_READER");
        folder && !folder->empty()) {
        VirtualReader v(*folder);
        const bool opens = v.open() == OpenResult::Opened;
        const bool alive = opens && v.isAlive();
        v.close();
        found.push_back({*folder, "virtual reader (FELICA_VIRTUAL_READER)", alive,
                         !opens ? "the folder is missing" : alive ? "" : "unplugged", "virtual"});
    }

    std::vector<PcscReaderInfo> pcsc;
    std::string why;
    if (!listPcscReaders(pcsc, why)) problems.push_back("PC/SC: " + why);
    for (const PcscReaderInfo& r : pcsc) {
        const char* note = r.felicaCard ? "a FeliCa card lies on it" : r.cardPresent ? "a card of another kind lies on it" : "no card";
        found.push_back({"pcsc:" + r.name, r.name, r.answers, r.answers ? note : std::string(pcsc_system::serviceName) + " cannot reach it", r.route});
    }

    if (usbRouteAvailable) {
        std::vector<UsbReaderInfo> usb;
        if (!listUsbReaders(usb, why)) problems.push_back("USB: " + why);
        for (const UsbReaderInfo& r : usb) found.push_back({"usb:" + r.busAddress, r.name, r.answers, r.note, "usb"});
    }

    if (libnfcRouteAvailable) {
        // A device the variable names is looked at even when libnfc does not list it.
        const std::optional<std::string> chosen = os::environmentVariable("TOVANI_READER");
        const ReaderRequest request = readerRequest(nullptr, chosen ? chosen->c_str() : nullptr);
        std::vector<LibnfcDeviceInfo> devices;
        if (!listLibnfcDevices(request.kind == ReaderRequest::Libnfc ? request.detail : std::string(), devices, why))
            problems.push_back("libnfc: " + why);
        for (LibnfcDeviceInfo& d : devices)
            found.push_back({"libnfc:" + d.connection, std::move(d.name), d.answers, std::move(d.note), "libnfc"});
    }
    return found;
}

}  // namespace tovani::felica
