#include "reader_paths.h"

#include <dlfcn.h>

#include <cstdlib>
#include <optional>

#include "pn532_simulator.h"
#include "private_pcscd.h"
#include "vpcd_card.h"

namespace tovani::test {

namespace {

// Every variable by which the tests choose a reader, cleared between paths
// so that one path never leaks into the next.
void clearReaderEnvironment() {
    for (const char* name : {"FELICA_VIRTUAL_READER", "TOVANI_READER", "LIBNFC_DEVICE", "LIBNFC_AUTO_SCAN",
                             "LIBNFC_INTRUSIVE_SCAN", "TOVANI_USB_SIM"})
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

// A real private pcscd with the vpcd driver, our PC/SC reader simulator as
// its card, and the program's PC/SC transport. pcscd senses a card only at
// its next look at the reader, so every change is waited for. A vpcd reader
// cannot leave a running pcscd: a pulled reader is pcscd coming back
// without it, as it does when a USB reader is pulled. The reader's name and
// profile are those of the device played, so that its route is found as a
// real one's would be.
class PcscPath : public ReaderPath {
public:
    PcscPath(std::string name, ReaderProfile profile) : name_(std::move(name)), profile_(std::move(profile)) {}
    bool attach(const std::filesystem::path& folder, std::string& why) override {
        clearReaderEnvironment();
        folder_ = folder;
        pcscd_ = std::make_unique<PrivatePcscd>(name_);
        pulled_ = false;
        if (!pcscd_->start(true, why)) return false;
        card_ = std::make_unique<VpcdCard>(folder.string(), pcscd_->port(), profile_);
        setenv("TOVANI_READER", ("pcsc:" + pcscd_->readerName()).c_str(), 1);
        return sync(why);
    }
    void detach() override {
        clearReaderEnvironment();
        card_.reset();
        pcscd_.reset();
    }
    bool sync(std::string& why) override {
        std::error_code ec;
        const bool pulled = std::filesystem::exists(folder_ / "unplugged", ec);
        if (pulled != pulled_) {
            pulled_ = pulled;
            pcscd_->stop();
            if (!pcscd_->start(!pulled, why)) return false;
        }
        if (pulled) return true;
        const bool cardThere = std::filesystem::exists(folder_ / "card.json", ec);
        if (pcscd_->waitForCard(cardThere)) return true;
        why = std::string("pcscd did not see the card ") + (cardThere ? "laid" : "lifted") + " in time: " +
              pcscd_->log();
        return false;
    }

private:
    std::string name_;
    ReaderProfile profile_;
    std::filesystem::path folder_;
    std::unique_ptr<PrivatePcscd> pcscd_;
    std::unique_ptr<VpcdCard> card_;
    bool pulled_ = false;
};

// The program's libusb transport against the stand-in libusb-1.0.so.0 and
// its simulated RC-S380-class reader. This process has the stand-in through
// its run path; the tools it starts find it through LD_LIBRARY_PATH.
class UsbPath : public ReaderPath {
public:
    bool attach(const std::filesystem::path& folder, std::string& why) override {
        clearReaderEnvironment();
        Dl_info info{};
        void* init = dlsym(RTLD_DEFAULT, "libusb_init");
        const std::string from = init && dladdr(init, &info) && info.dli_fname ? info.dli_fname : "?";
        if (from.rfind(TOVANI_USB_SIM_DIR, 0) != 0) {
            why = "libusb comes from " + from + ", not from the stand-in in " TOVANI_USB_SIM_DIR;
            return false;
        }
        if (const char* old = std::getenv("LD_LIBRARY_PATH")) oldLibraryPath_ = old;
        setenv("LD_LIBRARY_PATH", TOVANI_USB_SIM_DIR, 1);
        setenv("TOVANI_USB_SIM", folder.c_str(), 1);
        setenv("TOVANI_READER", "usb", 1);
        return true;
    }
    void detach() override {
        clearReaderEnvironment();
        if (oldLibraryPath_)
            setenv("LD_LIBRARY_PATH", oldLibraryPath_->c_str(), 1);
        else
            unsetenv("LD_LIBRARY_PATH");
    }

private:
    std::optional<std::string> oldLibraryPath_;
};

}  // namespace

const std::vector<ReaderPathRow>& readerPaths() {
    // A simulated PC/SC reader under the name pcscd shows for it.
    const auto pcsc = [](const char* key) {
        const NamedReader& r = *findNamedReader(key);
        return [=] { return std::make_unique<PcscPath>(r.name, r.profile); };
    };
    static const std::vector<ReaderPathRow> rows{
        {"virtual", [] { return std::make_unique<VirtualPath>(); }, "virtual"},
        {"libnfc", [] { return std::make_unique<LibnfcPath>(); }, "libnfc"},
        {"pcsc", pcsc("plain"), "pcsc"},
        {"pcsc_rcs300_refusing", pcsc("rcs300-refusing"), "pcsc"},
        {"pcsc_acr122u", pcsc("acr122u"), "pcsc-acr122"},
        {"pcsc_acr1252u", pcsc("acr1252u"), "pcsc-acs"},
        // Device frames log as "usb", the FeliCa frames inside them as "usb-felica".
        {"usb", [] { return std::make_unique<UsbPath>(); }, "usb"},
    };
    return rows;
}

}  // namespace tovani::test
