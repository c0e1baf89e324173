#pragma once

// The libnfc route as the reader choice sees it, without libnfc's own types:
// the transport and the devices libnfc finds.

#include <memory>
#include <string>
#include <vector>

#include "platform/felica/felica_transport.h"

namespace tovani::felica {

// Whether this system's build has the route (libnfc: the Linux build).
extern const bool libnfcRouteAvailable;

// A transport over the libnfc device with that connection string (empty: the
// first libnfc finds).
std::unique_ptr<Transport> makeLibnfcTransport(const std::string& connectionString = {});

struct LibnfcDeviceInfo {
    std::string connection;
    std::string name;
    bool answers = false;
    std::string note;
};

// Every device libnfc lists, and `also` when it is not among them. False with
// the reason when libnfc cannot start.
bool listLibnfcDevices(const std::string& also, std::vector<LibnfcDeviceInfo>& out, std::string& why);

}  // namespace tovani::felica
