// Windows only: Rowgate.dll loaded by a program in another folder (which
// sqlite3.dll it binds, and a missing one failing cleanly at the first call),
// and its version resource.

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support.h"

namespace {

namespace fs = std::filesystem;

fs::path moduleFile(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? fs::path(path) : fs::path();
}

fs::path rowgateFile() { return moduleFile(GetModuleHandleW(L"Rowgate.dll")); }

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// What a command printed, and its exit status when that is not 0.
std::string run(const std::string& command) {
    FILE* pipe = _popen(("\"" + command + "\"").c_str(), "r");
    if (pipe == nullptr) return "no pipe";
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    const int status = _pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return status == 0 ? out : out + " (exit status " + std::to_string(status) + ")";
}

struct LoadCase {
    const char* what;
    bool engineBesideLibrary;
    bool engineBesideProgram;  // the program loads it itself first when the library has one too
    const char* bound;         // the folder whose engine Rowgate.dll binds, or nullptr
};

class RowgateDllLoad : public testing::TestWithParam<LoadCase> {};

// A program folder with the probe, Rowgate.dll in a folder of its own, and
// sqlite3.dll in either, both or neither.
TEST_P(RowgateDllLoad, BindsTheEngineBesideItselfElseBySearchElseFailsEachCallCleanly) {
    const LoadCase& c = GetParam();
    rowgate_test::TempDir root;
    const fs::path program = root.path() / "program";
    const fs::path library = root.path() / "library";
    fs::create_directories(program);
    fs::create_directories(library);
    fs::copy_file(moduleFile(nullptr).parent_path() / "rowgate_load_probe.exe", program / "probe.exe");
    fs::copy_file(rowgateFile(), library / "Rowgate.dll");
    const fs::path engine = moduleFile(GetModuleHandleW(L"sqlite3.dll"));
    if (c.engineBesideLibrary) fs::copy_file(engine, library / "sqlite3.dll");
    if (c.engineBesideProgram) fs::copy_file(engine, program / "sqlite3.dll");

    const std::string engineArgument = c.bound == nullptr ? "none" : quoted(root.path() / c.bound / "sqlite3.dll");
    EXPECT_EQ(run(quoted(program / "probe.exe") + " " + quoted(library / "Rowgate.dll") + " " + engineArgument +
                  (c.engineBesideLibrary && c.engineBesideProgram ? " own" : "")),
              c.bound == nullptr ? "no engine: open_v2 1 column_count 0 last error 126" : "double ok, same engine");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RowgateDllLoad,
    testing::Values(LoadCase{"BesideTheLibraryAndTheProgram", true, true, "library"},
                    LoadCase{"BesideTheProgramOnly", false, true, "program"},
                    LoadCase{"Nowhere", false, false, nullptr}),
    [](const testing::TestParamInfo<LoadCase>& p) { return std::string(p.param.what); });

TEST(RowgateDll, VersionResourceReadsBack) {
    const std::wstring path = rowgateFile().wstring();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(7, 3));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(1, 4));
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_EQ(fs::path(std::wstring(product)).string(), TOVANI_VERSION);
}

}  // namespace
