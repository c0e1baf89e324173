#include "platform/felica/usb/usb_reader.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>

#include <libusb.h>

#include "platform/felica/reader_log.h"
#include "platform/felica/usb/usb_frames.h"

namespace tovani::felica {

namespace {

using namespace usb_frames;

constexpr int Interface = 0;
constexpr unsigned AckTimeoutMs = 1000;
constexpr unsigned AnswerTimeoutMs = 1500;
constexpr unsigned DrainReadMs = 10;
constexpr int DrainReads = 5;  // about 50 ms of quiet ends a drain
constexpr int TriesPerCardCommand = 3;

std::string usbError(int rv) { return libusb_error_name(rv); }

std::string busAddressText(uint8_t bus, uint8_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%03u:%03u", bus, address);
    return text;
}

bool isFelicaReader(const libusb_device_descriptor& d) {
    return d.idVendor == VendorId && (d.idProduct == ProductIds[0] || d.idProduct == ProductIds[1]);
}

std::string readerName(const libusb_device_descriptor& d) {
    char text[48];
    std::snprintf(text, sizeof text, "RC-S380-class FeliCa reader (%04X:%04X)", d.idVendor, d.idProduct);
    return text;
}

// What became of one command to the device.
enum class Step { Done, Gone, Failed };

class UsbReader : public Transport {
public:
    explicit UsbReader(UsbChoice choice) : choice_(std::move(choice)) {}
    ~UsbReader() override { close(); }

    OpenResult open() override {
        close();
        log_.emplace();
        reason_.clear();
        // A machine whose USB devices libusb cannot reach (no /dev/bus/usb,
        // as in many containers) has no reader of this kind for us.
        int rv = libusb_init(&context_);
        if (rv != 0) {
            context_ = nullptr;
            return notFound(rv, "libusb cannot start: " + usbError(rv));
        }
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        if (count < 0)
            return notFound(static_cast<int>(count), "the USB devices cannot be listed: " + usbError(static_cast<int>(count)));
        libusb_device* device = nullptr;
        libusb_device_descriptor descriptor{};
        uint8_t wantBus = 0, wantAddress = 0;
        const bool named = parseUsbBusAddress(choice_.busAddress, wantBus, wantAddress);
        for (ssize_t i = 0; i < count && !device; ++i) {
            if (libusb_get_device_descriptor(list[i], &descriptor) != 0 || !isFelicaReader(descriptor)) continue;
            if (named && (libusb_get_bus_number(list[i]) != wantBus ||
                          libusb_get_device_address(list[i]) != wantAddress))
                continue;
            device = list[i];
        }
        OpenResult result = OpenResult::NotFound;
        if (!device) {
            notFound(0, named ? "no RC-S380-class reader at USB " + choice_.busAddress
                              : "no RC-S380-class reader (USB 054C:06C1 or 054C:06C3)");
        } else {
            where_ = busAddressText(libusb_get_bus_number(device), libusb_get_device_address(device));
            name_ = readerName(descriptor);
            result = openDevice(device);
        }
        libusb_free_device_list(list, 1);
        if (result != OpenResult::Opened) close();
        return result;
    }

    void close() override {
        if (handle_) {
            if (!gone_ && ready_) {
                // RF off, then an ACK so that nothing is left pending.
                std::vector<uint8_t> results;
                const uint8_t off = 0;
                deviceCommand(cmd::SwitchRF, std::span(&off, 1), results, AckTimeoutMs);
                if (!gone_) writeFrame(Ack);
            }
            if (claimed_) libusb_release_interface(handle_, Interface);
            if (detached_ && !gone_) {
                const int rv = libusb_attach_kernel_driver(handle_, Interface);
                logNote("usb", rv == 0 ? "gave the reader back to the kernel driver"
                                       : "the reader could not be given back to the kernel driver: " + usbError(rv));
            }
            libusb_close(handle_);
        }
        handle_ = nullptr;
        claimed_ = detached_ = gone_ = ready_ = false;
        pmm_.reset();
        if (context_) libusb_exit(context_);
        context_ = nullptr;
        log_.reset();
    }

    // Asks the device its firmware version: it answers while it is plugged in.
    bool isAlive() override {
        if (!ready_) return false;
        std::vector<uint8_t> results;
        if (deviceCommand(cmd::GetFirmwareVersion, {}, results, AnswerTimeoutMs) != Step::Done) return false;
        if (results.size() < 2) {
            report("GetFirmwareVersion answered " + std::to_string(results.size()) + " bytes");
            return false;
        }
        return true;
    }

    Exchange transceive(std::span<const uint8_t> command, Frame& response) override {
        response.clear();
        if (!ready_) return Exchange::ReaderFault;
        const bool polling = command.size() >= 2 && command[1] == code::Polling;
        const uint16_t timeout = polling ? pollingTimeout() : commandTimeout(pmm_.value_or(Pmm{}), command);
        const std::vector<uint8_t> params = inCommRfParams(timeout, command);
        if (params.size() + 2 > MaxData) {
            report("a FeliCa frame of " + std::to_string(command.size()) + " bytes does not fit one device frame");
            return Exchange::ReaderFault;
        }
        for (int attempt = 1;; ++attempt) {
            logExchange("usb-felica", LogDirection::ToReader, command);
            std::vector<uint8_t> results;
            if (deviceCommand(cmd::InCommRF, params, results, AnswerTimeoutMs + timeout / 10) != Step::Done)
                return Exchange::ReaderFault;
            CommAnswer answer;
            std::string why;
            if (!parseInCommRf(results, answer, why)) {
                report("malformed InCommRF answer " + hexText(results) + ": " + why);
                return Exchange::ReaderFault;
            }
            if (answer.errorMask == 0) {
                logExchange("usb-felica", LogDirection::FromReader, answer.cardFrame);
                if (polling) rememberPmm(answer.cardFrame);
                response = std::move(answer.cardFrame);
                return Exchange::Answered;
            }
            char mask[16];
            std::snprintf(mask, sizeof mask, "%08X", answer.errorMask);
            if (answer.errorMask & ~rf::CardAnswerLost) {
                detail_ = static_cast<int32_t>(answer.errorMask);
                report(std::string("InCommRF failed in the device, error mask ") + mask);
                return Exchange::ReaderFault;
            }
            logNote("usb-felica", std::string("no answer from the card, error mask ") + mask);
            // Polling asks again at the next tick; a card command is tried
            // again now, as a card at the edge of the field may answer then.
            if (polling || attempt >= TriesPerCardCommand) return Exchange::NoAnswer;
        }
    }

    size_t maxBlocksPerRead() const override { return MaxBlocksPerRead; }
    int32_t lastDetail() const override { return detail_; }

    const std::string& reason() const { return reason_; }
    bool tookFromKernelDriver() const { return detached_; }
    // Reasons are kept for the caller instead of going to stderr.
    void keepReasonsQuiet() { silent_ = true; }

private:
    OpenResult notFound(int rv, const std::string& why) {
        detail_ = rv;
        if (choice_.quiet)
            reason_ = why;
        else
            report(why);
        return OpenResult::NotFound;
    }

    OpenResult failOpen(OpenResult result, int rv, const std::string& why) {
        detail_ = rv;
        report(why);
        return result;
    }

    void report(const std::string& why) {
        reason_ = why;
        logNote("usb", why);
        if (!silent_) std::cerr << "USB reader" << (where_.empty() ? "" : " " + where_) << ": " << why << std::endl;
    }

    OpenResult openDevice(libusb_device* device) {
        int rv = libusb_open(device, &handle_);
        if (rv != 0) {
            handle_ = nullptr;
            if (rv == LIBUSB_ERROR_NO_DEVICE) return failOpen(OpenResult::NotFound, rv, "the reader is gone");
            if (rv == LIBUSB_ERROR_ACCESS)
                return failOpen(OpenResult::OpenFailed, rv,
                                "no permission to use the reader (LIBUSB_ERROR_ACCESS); the udev rule gives it, "
                                "see the README");
            return failOpen(OpenResult::OpenFailed, rv, "the reader cannot be opened: " + usbError(rv));
        }
        if (!findEndpoints(device)) return OpenResult::OpenFailed;
        rv = libusb_kernel_driver_active(handle_, Interface);
        // Nothing on a desktop uses the kernel's NFC driver: it lends the
        // reader for the length of the connection, whether the user named
        // the reader or it was found by the automatic choice.
        if (rv == 1) {
            rv = libusb_detach_kernel_driver(handle_, Interface);
            if (rv != 0)
                return failOpen(OpenResult::OpenFailed, rv,
                                "the kernel driver port100 holds the reader and cannot be detached (" +
                                    usbError(rv) + "); see the README");
            detached_ = true;
            logNote("usb", "took the reader from the kernel driver port100 until it is closed");
        }
        rv = libusb_claim_interface(handle_, Interface);
        if (rv != 0) {
            if (rv == LIBUSB_ERROR_BUSY)
                return failOpen(OpenResult::OpenFailed, rv, "another program has claimed the reader (LIBUSB_ERROR_BUSY)");
            if (rv == LIBUSB_ERROR_NO_DEVICE) return failOpen(OpenResult::NotFound, rv, "the reader is gone");
            return failOpen(OpenResult::OpenFailed, rv, "the reader's interface cannot be claimed: " + usbError(rv));
        }
        claimed_ = true;
        return setUp();
    }

    // Interface 0's first bulk IN and bulk OUT endpoints.
    bool findEndpoints(libusb_device* device) {
        libusb_config_descriptor* config = nullptr;
        int rv = libusb_get_active_config_descriptor(device, &config);
        if (rv != 0) {
            failOpen(OpenResult::OpenFailed, rv, "the reader's configuration cannot be read: " + usbError(rv));
            return false;
        }
        in_ = out_ = 0;
        if (config->bNumInterfaces > Interface && config->interface[Interface].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = config->interface[Interface].altsetting[0];
            for (int i = 0; i < alt.bNumEndpoints; ++i) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[i];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
                if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
                    if (!in_) in_ = ep.bEndpointAddress;
                } else if (!out_) {
                    out_ = ep.bEndpointAddress;
                    outPacket_ = ep.wMaxPacketSize;
                }
            }
        }
        libusb_free_config_descriptor(config);
        if (!in_ || !out_ || outPacket_ == 0) {
            failOpen(OpenResult::OpenFailed, LIBUSB_ERROR_NOT_FOUND, "the reader has no bulk IN and OUT endpoints");
            return false;
        }
        return true;
    }

    // Soft reset, then the setup the device needs before FeliCa at 212 kbps.
    OpenResult setUp() {
        if (!writeFrame(Ack)) return gone_ ? OpenResult::NotFound : OpenResult::OpenFailed;
        drain();
        static constexpr uint8_t commandType[] = {0x01};
        static constexpr uint8_t rfOff[] = {0x00};
        static constexpr uint8_t felica212[] = {0x01, 0x01, 0x0F, 0x01};
        static constexpr uint8_t protocolDefaults[] = {0x00, 0x18, 0x01, 0x01, 0x02, 0x01, 0x03, 0x00, 0x04, 0x00,
                                                       0x05, 0x00, 0x06, 0x00, 0x07, 0x08, 0x08, 0x00, 0x09, 0x00,
                                                       0x0A, 0x00, 0x0B, 0x00, 0x0C, 0x00, 0x0E, 0x04, 0x0F, 0x00,
                                                       0x10, 0x00, 0x11, 0x00, 0x12, 0x00, 0x13, 0x06};
        static constexpr uint8_t guardTime[] = {0x00, 0x18};
        const struct {
            const char* what;
            uint8_t code;
            std::span<const uint8_t> params;
            bool hasStatus;
        } steps[] = {
            {"SetCommandType", cmd::SetCommandType, commandType, true},
            {"GetFirmwareVersion", cmd::GetFirmwareVersion, {}, false},
            {"SwitchRF", cmd::SwitchRF, rfOff, true},
            {"InSetRF", cmd::InSetRF, felica212, true},
            {"InSetProtocol", cmd::InSetProtocol, protocolDefaults, true},
            {"InSetProtocol", cmd::InSetProtocol, guardTime, true},
        };
        for (const auto& s : steps) {
            std::vector<uint8_t> results;
            const Step step = deviceCommand(s.code, s.params, results, AnswerTimeoutMs);
            if (step == Step::Gone) return OpenResult::NotFound;
            if (step == Step::Failed) return OpenResult::OpenFailed;
            if (s.hasStatus && (results.empty() || results[0] != 0)) {
                detail_ = results.empty() ? -1 : results[0];
                report(std::string(s.what) + " refused: " + (results.empty() ? "no status" : "status " + hexText(std::span(results).first(1))));
                return OpenResult::OpenFailed;
            }
            if (!s.hasStatus && results.size() < 2) {
                report(std::string(s.what) + " answered " + std::to_string(results.size()) + " bytes");
                return OpenResult::OpenFailed;
            }
            if (s.code == cmd::GetFirmwareVersion) {
                char version[40];
                std::snprintf(version, sizeof version, "firmware %X.%02X", results[1], results[0]);
                logNote("usb", name_ + " at USB " + where_ + ", " + version);
            }
        }
        ready_ = true;
        return OpenResult::Opened;
    }

    // A libusb failure of a transfer: the device gone, or a fault with its reason.
    Step transferFailed(int rv, const std::string& what) {
        detail_ = rv;
        if (rv == LIBUSB_ERROR_NO_DEVICE) {
            gone_ = true;
            ready_ = false;
            report("the reader is gone (" + what + ": LIBUSB_ERROR_NO_DEVICE)");
            return Step::Gone;
        }
        report(what + " failed: " + usbError(rv));
        return Step::Failed;
    }

    bool writeFrame(std::span<const uint8_t> bytes) {
        logExchange("usb", LogDirection::ToReader, bytes);
        int done = 0;
        std::vector<uint8_t> copy(bytes.begin(), bytes.end());
        int rv = libusb_bulk_transfer(handle_, out_, copy.data(), static_cast<int>(copy.size()), &done, AckTimeoutMs);
        if (rv == 0 && done != static_cast<int>(copy.size())) {
            report("the device took " + std::to_string(done) + " of " + std::to_string(copy.size()) + " bytes");
            return false;
        }
        // A write filling whole packets ends with an empty one, or the
        // device keeps waiting for the rest.
        if (rv == 0 && copy.size() % outPacket_ == 0)
            rv = libusb_bulk_transfer(handle_, out_, copy.data(), 0, &done, AckTimeoutMs);
        if (rv != 0) {
            transferFailed(rv, "writing to the device");
            return false;
        }
        return true;
    }

    // One bulk read: a frame, or a libusb error code.
    int readFrame(std::vector<uint8_t>& bytes, unsigned timeoutMs) {
        bytes.assign(MaxTransfer, 0);
        int done = 0;
        const int rv = libusb_bulk_transfer(handle_, in_, bytes.data(), static_cast<int>(bytes.size()), &done, timeoutMs);
        bytes.resize(rv == 0 && done >= 0 && done <= static_cast<int>(MaxTransfer) ? done : 0);
        if (rv == 0) logExchange("usb", LogDirection::FromReader, bytes);
        return rv;
    }

    // Whatever the device still has to say is read and dropped.
    void drain() {
        std::vector<uint8_t> bytes;
        for (int i = 0; i < DrainReads; ++i) {
            const int rv = readFrame(bytes, DrainReadMs);
            if (rv == LIBUSB_ERROR_NO_DEVICE) transferFailed(rv, "reading from the device");
            if (rv != 0) return;
        }
    }

    // An ACK aborts the command in progress; what it had started to answer
    // is drained, so that the next command meets a quiet device.
    Step abortCommand(const std::string& why) {
        report(why);
        if (writeFrame(Ack)) drain();
        return gone_ ? Step::Gone : Step::Failed;
    }

    // A read that failed while the device is still there (an answer too
    // long for the buffer and the like) leaves the command to be aborted.
    Step readFailed(int rv, const std::string& what) {
        if (rv == LIBUSB_ERROR_NO_DEVICE) return transferFailed(rv, what);
        detail_ = rv;
        return abortCommand(what + " failed: " + usbError(rv));
    }

    Step deviceCommand(uint8_t code, std::span<const uint8_t> params, std::vector<uint8_t>& results,
                       unsigned answerTimeoutMs) {
        results.clear();
        if (!handle_ || gone_) return Step::Gone;
        const std::vector<uint8_t> frame = command(code, params);
        if (frame.empty()) {
            report("a command of " + std::to_string(params.size() + 2) + " bytes does not fit one frame");
            return Step::Failed;
        }
        const std::string name = "command " + hexText(std::span(&code, 1));
        if (!writeFrame(frame)) return gone_ ? Step::Gone : Step::Failed;
        std::vector<uint8_t> bytes;
        int rv = readFrame(bytes, AckTimeoutMs);
        if (rv == LIBUSB_ERROR_TIMEOUT) return abortCommand(name + ": no acknowledgement");
        if (rv != 0) return readFailed(rv, name + ": reading the acknowledgement");
        Parsed parsed;
        std::string why;
        if (!parseFrame(bytes, parsed, why)) return abortCommand(name + ": malformed acknowledgement " + hexText(bytes) + ": " + why);
        if (parsed.kind != Parsed::Acknowledgement)
            return abortCommand(name + ": " + (parsed.kind == Parsed::DeviceError ? "error frame" : "a data frame") +
                                " instead of the acknowledgement");
        rv = readFrame(bytes, answerTimeoutMs);
        if (rv == LIBUSB_ERROR_TIMEOUT) return abortCommand(name + ": no answer");
        if (rv != 0) return readFailed(rv, name + ": reading the answer");
        if (!parseFrame(bytes, parsed, why)) return abortCommand(name + ": malformed answer " + hexText(bytes) + ": " + why);
        if (parsed.kind != Parsed::Data)
            return abortCommand(name + ": " + (parsed.kind == Parsed::DeviceError ? "error frame" : "a second acknowledgement") +
                                " instead of the answer");
        if (!answerResults(parsed.data, code, results, why)) return abortCommand(name + ": " + why);
        return Step::Done;
    }

    void rememberPmm(const Frame& frame) {
        PollingAnswer answer;
        std::string why;
        if (parsePolling(frame, answer, why)) pmm_ = answer.pmm;
    }

    UsbChoice choice_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    uint8_t in_ = 0, out_ = 0;
    size_t outPacket_ = 0;
    bool claimed_ = false, detached_ = false, gone_ = false, ready_ = false;
    std::optional<Pmm> pmm_;  // of the card polled last: the timeouts of its commands
    std::string where_, name_, reason_;
    bool silent_ = false;
    int32_t detail_ = 0;
    std::optional<ReaderLogConnection> log_;
};

}  // namespace

extern const bool usbRouteAvailable = true;

std::unique_ptr<Transport> makeUsbTransport(UsbChoice choice) { return std::make_unique<UsbReader>(std::move(choice)); }

bool listUsbReaders(std::vector<UsbReaderInfo>& out, std::string& why) {
    out.clear();
    libusb_context* context = nullptr;
    int rv = libusb_init(&context);
    if (rv != 0) {
        why = "libusb cannot start: " + usbError(rv);
        return false;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) {
        why = "the USB devices cannot be listed: " + usbError(static_cast<int>(count));
        libusb_exit(context);
        return false;
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != 0 || !isFelicaReader(d)) continue;
        out.push_back({busAddressText(libusb_get_bus_number(list[i]), libusb_get_device_address(list[i])),
                       readerName(d), false, {}});
    }
    libusb_free_device_list(list, 1);
    libusb_exit(context);
    // Each is opened as the program would open it, and asked.
    for (UsbReaderInfo& r : out) {
        UsbReader reader({r.busAddress, true});
        reader.keepReasonsQuiet();
        const OpenResult opened = reader.open();
        r.answers = opened == OpenResult::Opened && reader.isAlive();
        if (!r.answers) r.note = reader.reason().empty() ? "does not answer" : reader.reason();
        else if (reader.tookFromKernelDriver()) r.note = "the kernel driver port100 holds it; the program takes it while in use";
        reader.close();
    }
    return true;
}

}  // namespace tovani::felica
