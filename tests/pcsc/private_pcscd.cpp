#include "private_pcscd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <winscard.h>

extern char** environ;

namespace tovani::test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int ExitOtherPcscd = 99;
constexpr const char* SystemRunDir = "/run/pcscd";
constexpr const char* PcscdPath = "/usr/sbin/pcscd";
constexpr const char* VpcdDriver = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";

// The client socket of this process's pcscd. pcsc-lite reads
// PCSCLITE_CSOCK_NAME once per process, so every pcscd this process starts
// listens on the same path.
std::string socketPath() {
    return (fs::temp_directory_path() / ("tovani-pcscd-" + std::to_string(::getpid()) + ".comm")).string();
}

bool portFree(uint16_t port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool ok = s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (s >= 0) ::close(s);
    return ok;
}

// A port that is free, with the next one free too (vpcd's second slot).
uint16_t freePortPair() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        uint16_t port = 0;
        if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        if (s >= 0) ::close(s);
        if (port != 0 && port < 65535 && portFree(port) && portFree(static_cast<uint16_t>(port + 1))) return port;
    }
    return 0;
}

bool otherPcscdRunning() {
    std::ifstream in(std::string(SystemRunDir) + "/pcscd.pid");
    long pid = 0;
    return (in >> pid) && pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

int listeningSocket(const std::string& path) {
    ::unlink(path.c_str());
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (s < 0) return -1;
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 64) != 0) {
        ::close(s);
        return -1;
    }
    ::chmod(path.c_str(), 0666);
    return s;
}

}  // namespace

PrivatePcscd::PrivatePcscd(std::string friendlyName) : friendlyName_(std::move(friendlyName)) {
    ::setenv("PCSCLITE_CSOCK_NAME", socketPath().c_str(), 1);
}

PrivatePcscd::~PrivatePcscd() {
    stop();
    ::unlink(socketPath().c_str());
}

bool PrivatePcscd::start(bool withReader, std::string& why) {
    stop();
    std::error_code ec;
    if (!fs::exists(PcscdPath, ec) || !fs::exists(VpcdDriver, ec)) {
        why = std::string(PcscdPath) + " or " + VpcdDriver +
              " is missing: install pcscd and vsmartcard-vpcd (scripts/setup does)";
        return false;
    }
    if (port_ == 0) port_ = freePortPair();
    if (port_ == 0) {
        why = "no free loopback port for vpcd";
        return false;
    }
    const fs::path conf = dir_ / "reader.conf.d";
    const fs::path run = dir_ / "run";
    fs::create_directories(conf);
    fs::create_directories(run);
    fs::remove(conf / "vpcd");
    if (withReader) {
        std::ofstream out(conf / "vpcd");
        out << "FRIENDLYNAME \"" << friendlyName_ << "\"\n"
            << "DEVICENAME /dev/null:" << port_ << "\n"
            << "LIBPATH " << VpcdDriver << "\n"
            << "CHANNELID " << port_ << "\n";
    }
    // Without root a private /run/pcscd is not possible: then no other pcscd
    // may run, since pcscd cleans that folder when it ends.
    const bool mayIsolate = ::geteuid() == 0;
    if (!mayIsolate && otherPcscdRunning()) {
        why = "another pcscd is running and this test may not give its own a private /run/pcscd";
        return false;
    }
    const std::string sock = socketPath();
    const int listener = listeningSocket(sock);
    if (listener < 0) {
        why = "the socket " + sock + " could not be made: " + std::strerror(errno);
        return false;
    }

    // Everything the child needs, prepared before the fork.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "LISTEN_", 7) != 0) env.emplace_back(*e);
    }
    env.emplace_back("LISTEN_FDS=1");
    char listenPid[32] = "LISTEN_PID=0";
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(listenPid);
    envp.push_back(nullptr);
    const std::string confArg = conf.string();
    const std::string runDir = run.string();
    const std::string logPath = (dir_ / "pcscd.log").string();
    const char* argv[] = {"pcscd", "-f", "-c", confArg.c_str(), nullptr};

    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(listener);
        why = std::string("fork failed: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        bool isolated = false;
        if (mayIsolate && ::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) {
            ::mkdir(SystemRunDir, 0755);
            isolated = ::mount(runDir.c_str(), SystemRunDir, nullptr, MS_BIND, nullptr) == 0;
        }
        if (!isolated && otherPcscdRunning()) ::_exit(ExitOtherPcscd);
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
        }
        const int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) ::dup2(devnull, 0);
        if (listener != 3) {
            ::dup2(listener, 3);
        } else {
            ::fcntl(3, F_SETFD, 0);
        }
        std::snprintf(listenPid, sizeof listenPid, "LISTEN_PID=%d", static_cast<int>(::getpid()));
        ::execve(PcscdPath, const_cast<char* const*>(argv), envp.data());
        ::_exit(127);
    }
    ::close(listener);
    pid_ = pid;
    // A pcscd that ends at once could not run here.
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        why = WIFEXITED(status) && WEXITSTATUS(status) == ExitOtherPcscd
                  ? "another pcscd is running and no private /run/pcscd could be made"
                  : "pcscd ended at once: " + log();
        return false;
    }
    if (withReader && !waitForReader(true)) {
        why = "pcscd did not list the vpcd reader in time: " + log();
        stop();
        return false;
    }
    return true;
}

void PrivatePcscd::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    ::unlink(socketPath().c_str());
}

bool PrivatePcscd::waitForReader(bool listed, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        // A pcscd that has ended will list nothing any more.
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return !listed;
        }
        SCARDCONTEXT ctx = 0;
        if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx) == SCARD_S_SUCCESS) {
            char names[4096] = {};
            DWORD size = sizeof names;
            LONG rv = SCardListReaders(ctx, nullptr, names, &size);
            bool found = false;
            DWORD count = 0;
            if (rv == SCARD_S_SUCCESS) {
                for (const char* p = names; *p; p += std::strlen(p) + 1, ++count)
                    if (readerName() == p) found = true;
            }
            if (found == listed) {
                SCardReleaseContext(ctx);
                return true;
            }
            // Wait for pcscd to report a change of its reader list.
            SCARD_READERSTATE pnp{};
            pnp.szReader = "\\\\?PnP?\\Notification";
            pnp.dwCurrentState = count << 16;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            SCardGetStatusChange(ctx, static_cast<DWORD>(std::max<long>(left.count(), 1)), &pnp, 1);
            SCardReleaseContext(ctx);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool PrivatePcscd::waitForCard(bool present, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    SCARDCONTEXT ctx = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx) != SCARD_S_SUCCESS) return false;
    const std::string name = readerName();
    SCARD_READERSTATE s{};
    s.szReader = name.c_str();
    s.dwCurrentState = SCARD_STATE_UNAWARE;
    bool reached = false;
    while (Clock::now() < deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        LONG rv = SCardGetStatusChange(ctx, static_cast<DWORD>(std::max<long>(left.count(), 1)), &s, 1);
        if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) break;
        if (((s.dwEventState & SCARD_STATE_PRESENT) != 0) == present && !(s.dwEventState & SCARD_STATE_UNKNOWN)) {
            reached = true;
            break;
        }
        s.dwCurrentState = s.dwEventState & ~SCARD_STATE_CHANGED;
    }
    SCardReleaseContext(ctx);
    return reached;
}

std::string PrivatePcscd::log() const {
    std::ifstream in(dir_ / "pcscd.log");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace tovani::test
