#pragma once

// Which reader/writer the component opens, from the environment:
// FELICA_VIRTUAL_READER=<folder> opens the virtual reader over that folder;
// otherwise TOVANI_READER names a route and, after a colon, one reader of it
// (readerRoutes below: pcsc, libnfc, usb; a route this system's build does
// not have is a clear fault); neither tries the automatic order
// (automaticOrder below) and opens the first reader that opens.
//
// A USB reader that a kernel driver holds is taken from it for the length
// of the connection, however it was chosen.
//
// A PC/SC reader cannot tell whether it speaks FeliCa before a FeliCa card
// lies on it; hence the automatic order's last fallback.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/felica/felica_transport.h"

namespace tovani::felica {

struct ReaderRequest {
    enum Kind { Virtual, Pcsc, Libnfc, Usb, Automatic, Invalid } kind = Automatic;
    std::string detail;  // folder, reader name or connection string; for Invalid, what is wrong
};

// One route TOVANI_READER names. The parser, the transports and the help
// all read the table, so a route added there is accepted and documented.
struct ReaderRoute {
    const char* name;         // the value alone: the first reader of the route
    ReaderRequest::Kind kind;
    const char* first;        // what the value alone chooses, in words
    const char* detail;       // what follows "name:", as the help writes it
    const char* chosen;       // what "name:detail" chooses, in words
    const char* example;      // a whole value of that form
    bool (*detailValid)(const std::string& detail);  // null: any text that is not empty
    std::unique_ptr<Transport> (*make)(const std::string& detail);  // empty detail: the first reader
    bool available;           // this system's build has the route (libnfc and usb: Linux only)
};
std::span<const ReaderRoute> readerRoutes();

// The automatic choice, in its order: the first candidate that opens.
struct AutomaticCandidate {
    const char* what;  // in words, for the help
    std::unique_ptr<Transport> (*make)();
    ReaderRequest::Kind route;
};
// Only the candidates whose route this system's build has.
std::span<const AutomaticCandidate> automaticOrder();

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
