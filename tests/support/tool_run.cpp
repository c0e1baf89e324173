#include "support/tool_run.h"

#include <sys/wait.h>

#include <cstdio>

#include "support/temp_dir.h"

namespace tovani::test {

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ToolRun runShell(const std::string& command, const std::filesystem::path& errFile) {
    ToolRun r;
    FILE* pipe = popen((command + " 2>" + shellQuoted(errFile.string())).c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    while (const size_t n = fread(buf, 1, sizeof buf, pipe)) r.out.append(buf, n);
    const int rc = pclose(pipe);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.err = readFile(errFile);
    return r;
}

}  // namespace tovani::test
