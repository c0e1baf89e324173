// Windows only: Rowgate.dll as a caller in another folder loads it (the
// engine beside the DLL is the one bound, a missing engine fails the load and
// nothing crashes), and its version resource.

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

// Runs the load probe from its own folder on `dll`: what it printed, and its
// exit status (a crash shows as a status of its own).
std::string probe(const fs::path& program, const fs::path& dll, int& status) {
    const std::string command = "\"\"" + program.string() + "\" \"" + dll.string() + "\"\"";
    FILE* pipe = _popen(command.c_str(), "r");
    if (pipe == nullptr) return "no pipe";
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    status = _pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// A program folder with the load probe, and a library folder elsewhere.
struct Folders {
    rowgate_test::TempDir root;
    fs::path program = root.path() / "program";
    fs::path library = root.path() / "library";
    Folders() {
        fs::create_directories(program);
        fs::create_directories(library);
        fs::copy_file(moduleFile(nullptr).parent_path() / "rowgate_load_probe.exe", program / "probe.exe");
        fs::copy_file(rowgateFile(), library / "Rowgate.dll");
    }
};

TEST(RowgateDll, BindsTheEngineBesideItselfWhateverProgramLoadsIt) {
    Folders f;
    const fs::path engine = moduleFile(GetModuleHandleW(L"sqlite3.dll"));
    fs::copy_file(engine, f.library / "sqlite3.dll");
    fs::copy_file(engine, f.program / "sqlite3.dll");  // the program's own copy must not be taken
    int status = -1;
    const std::string out = probe(f.program / "probe.exe", f.library / "Rowgate.dll", status);
    EXPECT_EQ(status, 0);
    const std::string prefix = "loaded ";
    ASSERT_EQ(out.rfind(prefix, 0), 0u) << out;
    const std::size_t space = out.rfind(' ');
    EXPECT_TRUE(fs::equivalent(out.substr(prefix.size(), space - prefix.size()), f.library / "sqlite3.dll")) << out;
    EXPECT_EQ(out.substr(space + 1), sqlite3_libversion());
}

TEST(RowgateDll, AMissingEngineFailsTheLoadAsAMissingImportWould) {
    Folders f;
    int status = -1;
    EXPECT_EQ(probe(f.program / "probe.exe", f.library / "Rowgate.dll", status),
              "failed " + std::to_string(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(status, 0);
}

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

    auto text = [&](const wchar_t* key) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        if (!VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars)) return std::string("(none)");
        return fs::path(std::wstring(value)).string();
    };
    EXPECT_EQ(text(L"FileVersion"), "3.7.4.1");
    EXPECT_EQ(text(L"ProductVersion"), TOVANI_VERSION);
    EXPECT_EQ(text(L"OriginalFilename"), "Rowgate.dll");
}

}  // namespace
