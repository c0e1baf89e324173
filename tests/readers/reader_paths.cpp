#include "reader_paths.h"

#include <cstdlib>

#include "pn532_simulator.h"

namespace tovani::test {

namespace {

// Every variable by which the tests choose a reader, cleared between paths
// so that one path never leaks into the next.
void clearReaderEnvironment() {
    for (const char* name : {"FELICA_VIRTUAL_READER", "TOVANI_READER", "LIBNFC_DEVICE", "LIBNFC_AUTO_SCAN",
                             "LIBNFC_INTRUSIVE_SCAN"})
        unsetenv(name);
}

class VirtualPath : public ReaderPath {
public:
    bool attach(const std::filesystem::path& folder, std::string&) override {
        clearReaderEnvironment();
        setenv("FELICA_VIRTUAL_READER", folder.c_str(), 1);
        return true;
    }
    void detach() override { clearReaderEnvironment(); }
};

// libnfc's own serial driver against the simulated PN532.
class LibnfcPath : public ReaderPath {
public:
    bool attach(const std::filesystem::path& folder, std::string& why) override {
        clearReaderEnvironment();
        sim_ = std::make_unique<pn532::Simulator>(folder.string());
        if (!sim_->start(why)) return false;
        const std::string device = sim_->connectionString();
        setenv("TOVANI_READER", ("libnfc:" + device).c_str(), 1);
        // The same device for libnfc's own choice, and no scanning of the
        // machine's serial ports beside it.
        setenv("LIBNFC_DEVICE", device.c_str(), 1);
        setenv("LIBNFC_AUTO_SCAN", "false", 1);
        setenv("LIBNFC_INTRUSIVE_SCAN", "false", 1);
        return true;
    }
    void detach() override {
        clearReaderEnvironment();
        sim_.reset();
    }

private:
    std::unique_ptr<pn532::Simulator> sim_;
};

}  // namespace

const std::vector<ReaderPathRow>& readerPaths() {
    static const std::vector<ReaderPathRow> rows{
        {"virtual", [] { return std::make_unique<VirtualPath>(); }},
        {"libnfc", [] { return std::make_unique<LibnfcPath>(); }},
    };
    return rows;
}

}  // namespace tovani::test
