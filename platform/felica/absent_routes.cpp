// The routes a Windows build does not have: libnfc and the older USB reader
// over libusb are Linux routes (on Windows such a reader is a PC/SC reader
// through its maker's driver). The reader choice reads the flags and never
// offers them; the rest only keeps the program whole.

#include "platform/felica/libnfc_devices.h"
#include "platform/felica/reader_choice.h"
#include "platform/felica/usb/usb_reader.h"

namespace tovani::felica {

extern const bool libnfcRouteAvailable = false;
extern const bool usbRouteAvailable = false;

std::unique_ptr<Transport> makeLibnfcTransport(const std::string&) {
    return makeTransport({ReaderRequest::Invalid, "libnfc is available on Linux only"});
}
std::unique_ptr<Transport> makeUsbTransport(UsbChoice) {
    return makeTransport({ReaderRequest::Invalid, "usb is available on Linux only"});
}

bool listLibnfcDevices(const std::string&, std::vector<LibnfcDeviceInfo>& out, std::string& why) {
    out.clear();
    why = "not available on this system";
    return false;
}

bool listUsbReaders(std::vector<UsbReaderInfo>& out, std::string& why) {
    out.clear();
    why = "not available on this system";
    return false;
}

}  // namespace tovani::felica
