#pragma once

// The older USB FeliCa reader (RC-S380 class) through libusb-1.0: the
// device's own frames on its bulk endpoints (usb_frames.h), each FeliCa frame
// carried by InCommRF at 212 kbps. A kernel driver holding the reader
// (port100) is detached while the reader is open and gets the reader back at close.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/felica/felica_transport.h"

namespace tovani::felica {

struct UsbChoice {
    std::string busAddress;   // "<bus>:<address>" as lsusb numbers them; empty: the first reader found
    bool quiet = false;       // no message when no reader is there (another will be tried)
};

// Whether this system's build has the route (libusb: the Linux build).
extern const bool usbRouteAvailable;

std::unique_ptr<Transport> makeUsbTransport(UsbChoice choice);

// One reader as `tovani-card readers` shows it.
struct UsbReaderInfo {
    std::string busAddress;  // "001:005"
    std::string name;
    bool answers = false;
    std::string note;
};

// The readers of this kind on the USB buses; false with a reason when
// libusb cannot look.
bool listUsbReaders(std::vector<UsbReaderInfo>& out, std::string& why);

}  // namespace tovani::felica
