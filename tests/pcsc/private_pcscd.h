#pragma once

// A pcscd of the test's own: its own configuration folder with one vpcd
// reader on a free loopback port, its own client socket (handed over as an
// activated socket, and named to the PC/SC clients of this process and its
// children through PCSCLITE_CSOCK_NAME), and, where the process may, its own
// /run/pcscd in a private mount namespace so that it never touches a pcscd
// of the system. Stopped, and waited for, within a bounded time.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "support/temp_dir.h"

namespace tovani::test {

class PrivatePcscd {
public:
    // `friendlyName` is the reader's name as pcscd shows it, without the slot.
    explicit PrivatePcscd(std::string friendlyName = "Tovani Test Reader");
    ~PrivatePcscd();

    // Starts pcscd, with the vpcd reader in its configuration or without it
    // (a reader that is gone). False with a reason when it cannot run here.
    bool start(bool withReader, std::string& why);
    // Stops it (SIGTERM, then SIGKILL after a few seconds) and waits.
    void stop();

    uint16_t port() const { return port_; }
    // The name pcscd gives the vpcd reader's first slot.
    std::string readerName() const { return friendlyName_ + " 00 00"; }

    // Waits until pcscd lists the reader (or stops listing it); false on timeout.
    bool waitForReader(bool listed, std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Waits until pcscd sees a card on the reader (or no card); false on timeout.
    bool waitForCard(bool present, std::chrono::milliseconds limit = std::chrono::seconds(10));

    std::string log() const;

private:
    TempDir dir_;
    std::string friendlyName_;
    uint16_t port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace tovani::test
