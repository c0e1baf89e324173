// Two processes on one card file at once, as when the window polls while
// tovani-card runs: the second waits for the first instead of failing, and
// nothing is lost or left half made.

#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "database/db_access.h"
#include "store/db_files.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tovani::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Far above the engine's wait; a run that takes longer has hung.
constexpr auto kBound = std::chrono::seconds(20);

const std::string kCardFile = "RirekiDB/SF_0101-0012-3456-789A.DB";

// One run of `tovani-card read` in a process of its own, its output in files.
class ToolProcess {
public:
    ToolProcess(const TempDir& readerFolder, const TempDir& programDir, const fs::path& outputs)
        : err_(outputs.string() + ".err") {
        const std::string tool = std::string(TOVANI_PROGRAM_DIR) + "/tovani-card";
        std::vector<std::string> args{tool, "read", "--program-dir", programDir.str()};
        std::vector<std::string> env{"FELICA_VIRTUAL_READER=" + readerFolder.str()};
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::string(*e).rfind("FELICA_VIRTUAL_READER=", 0) != 0) env.emplace_back(*e);
        }
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&files, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, tool.c_str(), &files, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
        // Readable once the process has ended: waiting for it needs no sleep.
        if (pid_ > 0) pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    }
    ~ToolProcess() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (pidfd_ >= 0) close(pidfd_);
    }

    bool started() const { return pid_ > 0 && pidfd_ >= 0; }

    // True when the process ended within `ms` milliseconds.
    bool ended(int ms) {
        if (status_ >= 0) return true;
        pollfd p{pidfd_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        int raw = 0;
        waitpid(pid_, &raw, 0);
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
        return true;
    }

    // Waits until the process sleeps while holding `file` open: it is then
    // waiting for the lock on it. False when it ended (or hung) instead.
    bool waitsOn(const fs::path& file) {
        const auto deadline = Clock::now() + kBound;
        while (Clock::now() < deadline) {
            if (ended(1)) return false;
            if (state() == 'S' && holdsOpen(file)) return true;
        }
        return false;
    }

    // The exit status, once ended (-1 before).
    int status() const { return status_; }
    std::string err() const { return readFile(err_); }

private:
    char state() const {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
        std::string line;
        std::getline(in, line);
        const size_t close = line.rfind(')');  // the command name may hold spaces
        return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
    }
    bool holdsOpen(const fs::path& file) const {
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec)) {
            std::error_code link;
            if (fs::read_symlink(fd.path(), link) == file) return true;
        }
        return false;
    }

    std::string err_;
    pid_t pid_ = -1;
    int pidfd_ = -1;
    int status_ = -1;
};

class SharedCardFile : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/cards/transit.json", reader / "card.json");
    }
    int32_t storedRows(const fs::path& file, const char* table = "Rireki") {
        DbFile db;
        int32_t count = -1;
        EXPECT_TRUE(db.open(file.string(), bridge::OpenReadOnly));
        EXPECT_TRUE(db.exec(std::string("SELECT COUNT(*) FROM ") + table + ";", exec_callback_count, &count))
            << db.errmsg();
        return count;
    }

    TempDir reader;
    TempDir scratch;
};

// The window holds the card's file in the middle of a write while the tool
// reads the same card: the tool waits, then stores and looks up as usual.
TEST_F(SharedCardFile, ASecondProcessWaitsForTheFirstInsteadOfFailing) {
    TempDir programDir;
    {
        ToolProcess first(reader, programDir, scratch / "first");
        ASSERT_TRUE(first.started());
        ASSERT_TRUE(first.ended(20000));
        ASSERT_EQ(first.status(), 0) << first.err();
    }
    const fs::path file = programDir / kCardFile;
    const int32_t before = storedRows(file);
    ASSERT_GT(before, 0);

    DbFile holder;
    ASSERT_TRUE(holder.open(file.string(), bridge::OpenReadWrite));
    ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE;")) << holder.errmsg();
    ASSERT_TRUE(holder.exec("INSERT INTO Rireki ( TorihikiTsuuban, RiyouKubun ) VALUES ( 60000, 1 );"));

    ToolProcess second(reader, programDir, scratch / "second");
    ASSERT_TRUE(second.started());
    const bool waited = second.waitsOn(fs::canonical(file));
    ASSERT_TRUE(holder.exec("COMMIT;")) << holder.errmsg();
    holder.close();
    ASSERT_TRUE(waited) << "the second process did not wait; exit " << second.status() << ": " << second.err();
    ASSERT_TRUE(second.ended(20000));
    EXPECT_EQ(second.status(), 0) << second.err();
    EXPECT_EQ(second.err(), "");
    EXPECT_EQ(storedRows(file), before + 1);
}

// The file held past the engine's wait while the tool looks up the stored
// history: the entry that needs it is left out and the exit status says so.
TEST_F(SharedCardFile, AnEntryLeftOutForABusyFileIsAFailure) {
    TempDir programDir;
    ToolProcess first(reader, programDir, scratch / "first");
    ASSERT_TRUE(first.started() && first.ended(20000) && first.status() == 0) << first.err();
    const fs::path file = programDir / kCardFile;
    DbFile holder;  // the oldest entry gone, its amount needs the file
    ASSERT_TRUE(holder.open(file.string(), bridge::OpenReadWrite));
    ASSERT_TRUE(holder.exec("DELETE FROM Rireki WHERE TorihikiTsuuban = (SELECT MIN(TorihikiTsuuban) FROM Rireki);"));
    ASSERT_TRUE(holder.exec("BEGIN EXCLUSIVE;")) << holder.errmsg();
    ToolProcess second(reader, programDir, scratch / "second");
    const auto deadline = Clock::now() + kBound;  // held until the look-up gives up
    while (second.started() && second.err().find("not stored by this read") == std::string::npos &&
           !second.ended(10) && Clock::now() < deadline) {
    }
    ASSERT_TRUE(holder.exec("COMMIT;")) << holder.errmsg();
    ASSERT_TRUE(second.ended(20000));
    EXPECT_EQ(second.status(), 6) << second.err();
    EXPECT_EQ(storedRows(file), 19);
}

// Two tool runs of a new card at once: both succeed and the file is whole
// (never an empty file without tables).
TEST_F(SharedCardFile, TwoRunsOfANewCardAtOnceBothStoreIt) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        TempDir programDir;
        ToolProcess a(reader, programDir, scratch / "a");
        ToolProcess b(reader, programDir, scratch / "b");
        ASSERT_TRUE(a.started() && b.started());
        ASSERT_TRUE(a.ended(20000) && b.ended(20000));
        EXPECT_EQ(a.status(), 0) << a.err();
        EXPECT_EQ(b.status(), 0) << b.err();
        EXPECT_EQ(storedRows(programDir / kCardFile), 20);
        EXPECT_EQ(storedRows(programDir / kCardFile, "CardInfo"), 1);  // a second row breaks the views
    }
}

}  // namespace
}  // namespace tovani::test
