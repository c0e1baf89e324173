// The reader log holds card numbers: private, never through a link, never a
// FIFO that could stop a read, never without end. Each case logs in a child
// process of its own, which cannot hang the test and keeps the log's state
// (one warning per process) apart.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/felica/reader_log.h"
#include "support/temp_dir.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;
using felica::ReaderLogConnection;

struct Child {
    bool exited = false;  // false: killed, for example by the alarm of a hang
    std::string err;
};

// Runs `body` with TOVANI_READER_LOG=log in a child that the alarm ends
// after 20 s.
Child logInChild(const fs::path& log, const std::function<void()>& body) {
    TempDir scratch;
    const fs::path errFile = scratch / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(20);
        const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::setenv("TOVANI_READER_LOG", log.c_str(), 1);
        body();
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, readFile(errFile)};
}

void oneRead() {
    ReaderLogConnection connection;
    felica::logNote("test", "a line");
}

TEST(ReaderLog, IsPrivateAndOpenedOncePerConnection) {
    TempDir dir;
    const fs::path log = dir / "reader.log", moved = dir / "moved.log";
    const mode_t mask = ::umask(0);
    EXPECT_TRUE(logInChild(log, [&] {
                    ReaderLogConnection connection;
                    felica::logNote("test", "before");
                    fs::rename(log, moved);
                    felica::logNote("test", "after");
                }).exited);
    // The file opened at the start of the connection takes every line.
    EXPECT_FALSE(fs::exists(log));
    const std::string text = readFile(moved);
    EXPECT_NE(text.find(" test # before\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" test # after\n"), std::string::npos) << text;
    EXPECT_EQ(fs::status(moved).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // A log others could read (as this program made them before) is made private.
    ::chmod(moved.c_str(), 0644);
    EXPECT_TRUE(logInChild(moved, oneRead).exited);
    ::umask(mask);
    EXPECT_EQ(fs::status(moved).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(readFile(moved).starts_with(text));
}

// What is no regular file of its own is refused at once with the reason,
// and nothing goes into it or to where it leads: a FIFO with or without a
// reader at its other end, a link to a file or to nothing.
TEST(ReaderLog, AFifoOrALinkIsRefusedWithoutWaiting) {
    TempDir dir;
    writeFile(dir / "card-file", "kept");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir / "card-file", dir / "link");
    fs::create_symlink(dir / "nothing-there", dir / "dangling");
    const struct {
        const char* log;
        bool withReader;
        const char* why;
    } cases[] = {
        {"fifo", false, "it is not a regular file"},
        {"fifo", true, "it is not a regular file"},
        {"link", false, "it is a symbolic link"},
        {"dangling", false, "it is a symbolic link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.log) + (c.withReader ? " with a reader at the other end" : ""));
        const int reader = c.withReader ? ::open((dir / c.log).c_str(), O_RDONLY | O_NONBLOCK) : -1;
        const Child child = logInChild(dir / c.log, oneRead);
        EXPECT_TRUE(child.exited) << "the log waited";
        EXPECT_NE(child.err.find(std::string("cannot be written: ") + c.why), std::string::npos) << child.err;
        if (reader >= 0) {
            char ch = 0;
            EXPECT_LE(::read(reader, &ch, 1), 0);
            ::close(reader);
        }
    }
    EXPECT_EQ(readFile(dir / "card-file"), "kept");
    EXPECT_FALSE(fs::exists(dir / "nothing-there"));
}

// The lines stop with one that says so, the file below the cap; a later
// connection adds nothing.
TEST(ReaderLog, StopsAt16MiBWithOneLastLine) {
    TempDir dir;
    const fs::path log = dir / "reader.log";
    writeFile(log, "");
    fs::resize_file(log, felica::ReaderLogLimit - 100);
    const auto manyLines = [] {
        ReaderLogConnection connection;
        for (int i = 0; i < 20; ++i) felica::logNote("test", "a line of the read");
    };
    EXPECT_TRUE(logInChild(log, manyLines).exited);
    const uintmax_t size = fs::file_size(log);
    EXPECT_LE(size, felica::ReaderLogCap);
    std::ifstream in(log);
    in.seekg(static_cast<std::streamoff>(felica::ReaderLogLimit - 200));
    const std::string tail((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string last = " test # the reader log has reached 16 MiB: nothing more is written to it\n";
    EXPECT_EQ(tail.find(last), tail.size() - last.size()) << tail;  // once, at the end

    const Child later = logInChild(log, manyLines);
    EXPECT_EQ(fs::file_size(log), size);
    EXPECT_NE(later.err.find("cannot be written: it has reached 16 MiB"), std::string::npos) << later.err;
}

}  // namespace
}  // namespace tovani::test
