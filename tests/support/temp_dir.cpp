#include "temp_dir.h"

#include "platform/os/paths.h"

#include <cstdio>
#include <random>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace tovani::test {

// A name no other folder has: create_directory says false for one that is
// there already. The same on every system.
TempDir::TempDir() {
    static std::mt19937_64 random{std::random_device{}()};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "tovani-test-%012llx", static_cast<unsigned long long>(random() >> 16));
        if (std::filesystem::create_directory(base / name)) {
            path_ = base / name;
            std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made in " + os::pathText(base));
}

std::string TempDir::str() const { return os::pathText(path_); }

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files and folders made by failure tests must not stop the clean-up.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::filesystem::path& file, const std::string& content) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + os::pathText(file));
    out << content;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + os::pathText(file));
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace tovani::test
