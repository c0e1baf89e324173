#pragma once

// Which reader/writer the component opens, from the environment:
//
//   FELICA_VIRTUAL_READER=<folder>    the virtual reader over that folder
//   TOVANI_READER=pcsc                the first PC/SC reader pcscd lists
//   TOVANI_READER=pcsc:<reader name>  that PC/SC reader
//   TOVANI_READER=libnfc              the first libnfc device
//   TOVANI_READER=libnfc:<connection> that libnfc device ("pn532_uart:/dev/ttyUSB0")
//   TOVANI_READER=usb                 the first RC-S380-class USB reader
//   TOVANI_READER=usb:<bus>:<address> that one, numbered as lsusb shows it
//   neither                           the first PC/SC reader that shows a
//                                     FeliCa card, else the first RC-S380-
//                                     class USB reader, else the first
//                                     libnfc device, else the first PC/SC
//                                     reader
//
// A USB reader that a kernel driver holds is taken from it for the length
// of the connection, however it was chosen.
//
// A PC/SC reader cannot tell whether it speaks FeliCa before a FeliCa card
// lies on it; hence the last fallback.

#include <memory>
#include <string>
#include <vector>

#include "platform/felica/felica_transport.h"

namespace tovani::felica {

struct ReaderRequest {
    enum Kind { Virtual, Pcsc, Libnfc, Usb, Automatic, Invalid } kind = Automatic;
    std::string detail;  // folder, reader name or connection string; for Invalid, what is wrong
};

// Reads the two variables' values (null when unset).
ReaderRequest readerRequest(const char* virtualReader, const char* tovaniReader);

// The transport for a request. An invalid request gives a transport that
// reports the fault on stderr and finds no reader/writer.
std::unique_ptr<Transport> makeTransport(const ReaderRequest& request);

// One reader/writer as `tovani-card readers` shows it.
struct FoundReader {
    std::string path;  // what TOVANI_READER takes to choose it ("pcsc:<name>"), or the virtual folder
    std::string name;
    bool answers = false;
    std::string note;  // a card on it, why it does not answer and the like
    std::string route; // how FeliCa frames reach the card ("libnfc", "pcsc: transparent session", ...)
};

// Every reader/writer that can be found: the virtual one when the variable
// names it, the PC/SC readers, the USB readers, the libnfc devices. `problems` collects what
// could not be looked at (pcscd not running and the like).
std::vector<FoundReader> findReaders(std::vector<std::string>& problems);

}  // namespace tovani::felica
