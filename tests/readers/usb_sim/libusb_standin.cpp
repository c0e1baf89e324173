// A stand-in libusb-1.0.so.0 for the tests, compiled against the real
// libusb.h: it offers the libusb calls the USB transport makes and behind
// them one simulated RC-S380-class reader, which serves the card-image folder
// named by TOVANI_USB_SIM through the shared card model. The device speaks
// the reader's frames (acknowledgement, short and extended form, error
// frame), answers the setup commands and carries FeliCa frames by InCommRF.
//
// The folder steers it as it steers every simulated reader ("card.json",
// "unplugged"); a file "usb-fault" holding one word breaks it:
//
//   no-access      opening is refused (LIBUSB_ERROR_ACCESS)
//   busy           another program has claimed the interface
//   kernel-driver  a kernel driver holds the interface until detached (and
//                  must have it back before the close)
//   status-error   InSetRF answers status 01
//   bad-checksum   the answer to a card read comes with a wrong checksum
//   short-frame    ... comes cut short
//   no-ack         ... is never acknowledged
//   device-error   ... carries the device's error mask 00000040
//   vanish         the device is gone after acknowledging a card read
//
// Anything the host sends that the device would not take is written, one
// line each, to "usb-refused" in the folder.

#include <libusb.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/felica/card_model.h"
#include "platform/felica/usb/usb_frames.h"

struct libusb_context {};
struct libusb_device {
    std::string folder;
};

namespace {

namespace fs = std::filesystem;
using namespace tovani::felica;
using namespace tovani::felica::usb_frames;

constexpr uint8_t Bus = 1, Address = 5, EndpointIn = 0x81, EndpointOut = 0x02;
constexpr uint16_t PacketSize = 64;
constexpr uint8_t Felica212[] = {0x01, 0x01, 0x0F, 0x01};

libusb_device theDevice;
bool vanished = false;  // the vanish fault struck; lasts while the fault file says so

std::string folderFromEnvironment() {
    const char* f = std::getenv("TOVANI_USB_SIM");
    return f ? f : "";
}

std::string fault(const std::string& folder) {
    std::ifstream in(fs::path(folder) / "usb-fault");
    std::string word;
    in >> word;
    return word;
}

bool deviceGone(const std::string& folder) {
    if (vanished && fault(folder) != "vanish") vanished = false;  // plugged in again
    std::error_code ec;
    return folder.empty() || !fs::is_directory(folder, ec) || fs::exists(fs::path(folder) / "unplugged", ec) ||
           vanished;
}

void refuse(const std::string& folder, const std::string& why) {
    std::ofstream(fs::path(folder) / "usb-refused", std::ios::app) << why << "\n";
}

// Marks the place in the answer queue where the device vanishes.
const std::vector<uint8_t> VanishHere;

}  // namespace

struct libusb_device_handle {
    explicit libusb_device_handle(const std::string& f) : folder(f), field(f, "simulated USB reader") {}
    std::string folder;
    CardFolder field;
    std::deque<std::vector<uint8_t>> toHost;
    std::vector<uint8_t> held;  // a write of whole packets, waiting for its empty packet
    bool gone = false, claimed = false, detached = false, felica212 = false;

    bool checkGone() {
        if (deviceGone(folder)) gone = true;  // a device back again is a new device
        return gone;
    }

    // The device's answer results to one command, or nothing for a command
    // it does not know.
    std::optional<std::vector<uint8_t>> results(uint8_t code, std::span<const uint8_t> p, const std::string& f) {
        switch (code) {
        case cmd::SetCommandType:
        case cmd::SwitchRF:
            return std::vector<uint8_t>{0x00};
        case cmd::GetFirmwareVersion:
            return std::vector<uint8_t>{0x11, 0x01};
        case cmd::InSetRF:
            felica212 = p.size() == 4 && std::equal(p.begin(), p.end(), Felica212);
            if (!felica212) refuse(folder, "InSetRF other than FeliCa 212 kbps: " + hexText(p));
            return std::vector<uint8_t>{static_cast<uint8_t>(f == "status-error" ? 0x01 : 0x00)};
        case cmd::InSetProtocol:
            if (p.size() % 2) refuse(folder, "InSetProtocol with an odd length");
            return std::vector<uint8_t>{0x00};
        case cmd::InCommRF: {
            uint32_t mask = 0;
            std::optional<Frame> card;
            const std::span<const uint8_t> frame = p.size() > 2 ? p.subspan(2) : std::span<const uint8_t>();
            if (!felica212) {
                refuse(folder, "InCommRF before InSetRF");
                mask = 0x00000400;  // RF off
            } else if (frame.empty() || frame[0] != frame.size()) {
                refuse(folder, "InCommRF with a broken FeliCa frame: " + hexText(p));
                mask = rf::ProtocolError;
            } else if (!(card = field.answer(frame))) {
                mask = rf::ReceiveTimeout;
            }
            std::vector<uint8_t> r{static_cast<uint8_t>(mask), static_cast<uint8_t>(mask >> 8),
                                   static_cast<uint8_t>(mask >> 16), static_cast<uint8_t>(mask >> 24), 0x08};
            if (card) r.insert(r.end(), card->begin(), card->end());
            return r;
        }
        default:
            return std::nullopt;
        }
    }

    void command(std::span<const uint8_t> bytes) {
        if (bytes.size() == Ack.size() && std::equal(bytes.begin(), bytes.end(), Ack.begin())) {
            toHost.clear();  // an ACK aborts whatever was in progress
            return;
        }
        Parsed parsed;
        std::string why;
        if (!parseFrame(bytes, parsed, why) || parsed.kind != Parsed::Data || parsed.data.size() < 2 ||
            parsed.data[0] != HostToDevice) {
            refuse(folder, "not a command frame: " + hexText(bytes) + (why.empty() ? "" : ": " + why));
            toHost.assign(1, {ErrorFrame.begin(), ErrorFrame.end()});
            return;
        }
        const uint8_t code = parsed.data[1];
        const std::string f = fault(folder);
        std::optional<std::vector<uint8_t>> r = results(code, std::span(parsed.data).subspan(2), f);
        if (!r) {
            refuse(folder, "unknown command " + hexText(std::span(&code, 1)));
            toHost.assign(1, {ErrorFrame.begin(), ErrorFrame.end()});
            return;
        }
        std::vector<uint8_t> data{DeviceToHost, static_cast<uint8_t>(code + 1)};
        data.insert(data.end(), r->begin(), r->end());
        // Setup answers come in the short form, card frames in the extended
        // one: a host must take both.
        std::vector<uint8_t> answer = code == cmd::InCommRF ? frame(data) : shortFrame(data);
        const bool cardRead = code == cmd::InCommRF && parsed.data.size() > 5 &&
                              parsed.data[5] == tovani::felica::code::ReadWithoutEncryption;
        if (cardRead && f == "no-ack") return;
        toHost.emplace_back(Ack.begin(), Ack.end());
        if (cardRead && f == "vanish") {
            toHost.push_back(VanishHere);
            return;
        }
        if (cardRead && f == "bad-checksum") answer[answer.size() - 2] ^= 0x01;
        if (cardRead && f == "short-frame") answer.resize(answer.size() / 2);
        if (cardRead && f == "device-error") answer = frame(std::vector<uint8_t>{DeviceToHost, 0x05, 0x40, 0, 0, 0, 0});
        toHost.push_back(std::move(answer));
    }
};

namespace {

libusb_config_descriptor& configDescriptor() {
    static libusb_endpoint_descriptor endpoints[2]{};
    static libusb_interface_descriptor alt{};
    static libusb_interface interface{};
    static libusb_config_descriptor config{};
    endpoints[0].bEndpointAddress = EndpointIn;
    endpoints[1].bEndpointAddress = EndpointOut;
    for (libusb_endpoint_descriptor& e : endpoints) {
        e.bLength = LIBUSB_DT_ENDPOINT_SIZE;
        e.bDescriptorType = LIBUSB_DT_ENDPOINT;
        e.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
        e.wMaxPacketSize = PacketSize;
    }
    alt.bNumEndpoints = 2;
    alt.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
    alt.endpoint = endpoints;
    interface.altsetting = &alt;
    interface.num_altsetting = 1;
    config.bNumInterfaces = 1;
    config.bConfigurationValue = 1;
    config.interface = &interface;
    return config;
}

}  // namespace

extern "C" {

int libusb_init(libusb_context** ctx) {
    if (ctx) *ctx = new libusb_context;
    return 0;
}

void libusb_exit(libusb_context* ctx) { delete ctx; }

const char* libusb_error_name(int code) {
    switch (code) {
    case LIBUSB_ERROR_IO: return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_ACCESS: return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE: return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND: return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY: return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT: return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW: return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_INVALID_PARAM: return "LIBUSB_ERROR_INVALID_PARAM";
    default: return "LIBUSB_ERROR_OTHER";
    }
}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
    const std::string folder = folderFromEnvironment();
    const bool present = !deviceGone(folder);
    *list = new libusb_device*[2]{present ? &theDevice : nullptr, nullptr};
    theDevice.folder = folder;
    return present ? 1 : 0;
}

void libusb_free_device_list(libusb_device** list, int) { delete[] list; }

int libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* d) {
    *d = {};
    d->bLength = LIBUSB_DT_DEVICE_SIZE;
    d->bDescriptorType = LIBUSB_DT_DEVICE;
    d->bcdUSB = 0x0200;
    d->bMaxPacketSize0 = 64;
    d->idVendor = VendorId;
    d->idProduct = ProductIds[1];
    d->bNumConfigurations = 1;
    return 0;
}

uint8_t libusb_get_bus_number(libusb_device*) { return Bus; }
uint8_t libusb_get_device_address(libusb_device*) { return Address; }

int libusb_get_active_config_descriptor(libusb_device*, libusb_config_descriptor** config) {
    *config = &configDescriptor();
    return 0;
}

void libusb_free_config_descriptor(libusb_config_descriptor*) {}

int libusb_open(libusb_device* dev, libusb_device_handle** handle) {
    if (deviceGone(dev->folder)) return LIBUSB_ERROR_NO_DEVICE;
    if (fault(dev->folder) == "no-access") return LIBUSB_ERROR_ACCESS;
    *handle = new libusb_device_handle(dev->folder);
    return 0;
}

void libusb_close(libusb_device_handle* h) {
    // The kernel driver stays detached after the close unless given back.
    if (h->detached && !h->gone) refuse(h->folder, "closed without giving the reader back to the kernel driver");
    delete h;
}

int libusb_kernel_driver_active(libusb_device_handle* h, int interface) {
    if (h->checkGone()) return LIBUSB_ERROR_NO_DEVICE;
    if (interface != 0) return LIBUSB_ERROR_NOT_FOUND;
    return fault(h->folder) == "kernel-driver" && !h->detached ? 1 : 0;
}

int libusb_detach_kernel_driver(libusb_device_handle* h, int interface) {
    const int active = libusb_kernel_driver_active(h, interface);
    if (active < 0) return active;
    if (active == 0) return LIBUSB_ERROR_NOT_FOUND;
    h->detached = true;
    return 0;
}

int libusb_attach_kernel_driver(libusb_device_handle* h, int interface) {
    if (h->checkGone()) return LIBUSB_ERROR_NO_DEVICE;
    if (interface != 0) return LIBUSB_ERROR_NOT_FOUND;
    if (h->claimed) return LIBUSB_ERROR_BUSY;
    h->detached = false;
    return 0;
}

int libusb_claim_interface(libusb_device_handle* h, int interface) {
    if (h->checkGone()) return LIBUSB_ERROR_NO_DEVICE;
    if (interface != 0) return LIBUSB_ERROR_NOT_FOUND;
    const std::string f = fault(h->folder);
    if (f == "busy" || (f == "kernel-driver" && !h->detached)) return LIBUSB_ERROR_BUSY;
    h->claimed = true;
    return 0;
}

int libusb_release_interface(libusb_device_handle* h, int) {
    h->claimed = false;
    return h->checkGone() ? LIBUSB_ERROR_NO_DEVICE : 0;
}

int libusb_bulk_transfer(libusb_device_handle* h, unsigned char endpoint, unsigned char* data, int length,
                         int* transferred, unsigned int) {
    *transferred = 0;
    if (h->checkGone()) return LIBUSB_ERROR_NO_DEVICE;
    if (!h->claimed) {
        refuse(h->folder, "a transfer on an interface not claimed");
        return LIBUSB_ERROR_IO;
    }
    if (endpoint == EndpointOut) {
        // A transfer ends with a packet shorter than a whole one; the host
        // sends an empty packet after one of whole packets.
        h->held.insert(h->held.end(), data, data + length);
        *transferred = length;
        if (length > 0 && length % PacketSize == 0) return 0;
        std::vector<uint8_t> bytes;
        bytes.swap(h->held);
        if (!bytes.empty()) h->command(bytes);
        return 0;
    }
    if (endpoint != EndpointIn) return LIBUSB_ERROR_NOT_FOUND;
    // Nothing to say: the host's timeout passes at once.
    if (h->toHost.empty()) return LIBUSB_ERROR_TIMEOUT;
    if (h->toHost.front().empty()) {
        vanished = true;
        h->gone = true;
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (h->toHost.front().size() > static_cast<size_t>(length)) return LIBUSB_ERROR_OVERFLOW;
    std::memcpy(data, h->toHost.front().data(), h->toHost.front().size());
    *transferred = static_cast<int>(h->toHost.front().size());
    h->toHost.pop_front();
    return 0;
}

}  // extern "C"
