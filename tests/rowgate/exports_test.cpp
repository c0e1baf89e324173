// The library exports exactly the functions of its export table, under their
// plain names, and nothing else of ours. That each row names an engine
// function with the engine's types is checked when the library compiles.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "rowgate.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

std::set<std::string> tableNames() {
    std::set<std::string> names;
#define ROWGATE_FORWARD(result, name, params, args) names.insert("rowgate_" #name);
#define ROWGATE_ADAPTED(result, name, params) names.insert("rowgate_" #name);
#include "rowgate_exports.def"
    return names;
}

#if defined(_WIN32)

// The tables of Rowgate.dll as the loader mapped it into this process.
const BYTE* rowgateImage() { return reinterpret_cast<const BYTE*>(GetModuleHandleW(L"Rowgate.dll")); }

template <typename T>
const T* at(const BYTE* image, DWORD rva) {
    return reinterpret_cast<const T*>(image + rva);
}

const IMAGE_DATA_DIRECTORY& directory(const BYTE* image, int entry) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    return at<IMAGE_NT_HEADERS>(image, static_cast<DWORD>(dos->e_lfanew))->OptionalHeader.DataDirectory[entry];
}

// Every name in the export table; a function exported by ordinal only counts
// as a name of its own, so that it shows up as extra.
std::set<std::string> exportedNames() {
    std::set<std::string> names;
    const BYTE* image = rowgateImage();
    if (image == nullptr) return names;
    const auto* exports = at<IMAGE_EXPORT_DIRECTORY>(image, directory(image, IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress);
    const auto* nameRvas = at<DWORD>(image, exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(at<char>(image, nameRvas[i]));
    for (DWORD i = exports->NumberOfNames; i < exports->NumberOfFunctions; ++i) {
        names.insert("(ordinal " + std::to_string(exports->Base + i) + ")");
    }
    return names;
}

#else

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

#endif

TEST(RowgateExports, LibraryExportsExactlyTheTable) {
    const std::set<std::string> exported = exportedNames();
    ASSERT_FALSE(exported.empty()) << "no exports found in " ROWGATE_LIBRARY_FILE;
    const std::set<std::string> expected = tableNames();
    for (const auto& name : expected) EXPECT_TRUE(exported.count(name)) << "missing " << name;
    for (const auto& name : exported) EXPECT_TRUE(expected.count(name)) << "extra " << name;
}

}  // namespace
