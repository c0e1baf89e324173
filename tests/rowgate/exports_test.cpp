// The library exports exactly the functions of its export table, under their
// plain names, and nothing else of ours. That each row names an engine
// function with the engine's types is checked when the library compiles.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "rowgate.h"

namespace {

std::set<std::string> tableNames() {
    std::set<std::string> names;
#define ROWGATE_FORWARD(result, name, params, args) names.insert("rowgate_" #name);
#define ROWGATE_ADAPTED(result, name, params) names.insert("rowgate_" #name);
#include "rowgate_exports.def"
    return names;
}

// Every symbol the library defines in its dynamic symbol table.
std::set<std::string> exportedNames() {
    const std::string command = "nm -D --defined-only '" ROWGATE_LIBRARY_FILE "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::set<std::string> names;
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (name.empty()) name = type;  // a symbol without an address
        names.insert(name);
    }
    return names;
}

TEST(RowgateExports, LibraryExportsExactlyTheTable) {
    const std::set<std::string> exported = exportedNames();
    ASSERT_FALSE(exported.empty()) << "nm gave nothing for " ROWGATE_LIBRARY_FILE;
    const std::set<std::string> expected = tableNames();
    for (const auto& name : expected) EXPECT_TRUE(exported.count(name)) << "missing " << name;
    for (const auto& name : exported) EXPECT_TRUE(expected.count(name)) << "extra " << name;
}

}  // namespace
