#pragma once

// The ways the program reaches a card: each path serves a card-image folder
// through a different transport, so that the same reader tests can run over
// every one of them.

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tovani::test {

class ReaderPath {
public:
    virtual ~ReaderPath() = default;
    // Points the program, and any tool started from this process, at a
    // reader serving `folder`; false with a reason when the path cannot be
    // set up.
    virtual bool attach(const std::filesystem::path& folder, std::string& why) = 0;
    // Undoes attach: the reader is gone and the environment clean again.
    virtual void detach() = 0;
    // Called after each change of the folder (card laid, lifted, swapped,
    // reader pulled or plugged in): waits until the device shows it, for
    // paths whose device notices a change only after a while. False with a
    // reason when it does not within a few seconds.
    virtual bool sync(std::string& why) {
        (void)why;
        return true;
    }
};

struct ReaderPathRow {
    std::string name;
    std::function<std::unique_ptr<ReaderPath>()> make;
    std::string logRoute;  // the route its exchanges show in the reader log
};

// The row's name in test output.
inline void PrintTo(const ReaderPathRow& row, std::ostream* os) { *os << row.name; }

// Every reader path the tests run over.
const std::vector<ReaderPathRow>& readerPaths();

}  // namespace tovani::test
