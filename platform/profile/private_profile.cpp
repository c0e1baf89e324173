#include "platform/profile/private_profile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/os/files.h"
#include "platform/os/paths.h"

namespace tovani {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// One line of the file, without its line end.
struct Line {
    std::string text;
    std::string end;  // "\n", "\r\n" or "" for a last line without one
};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The lines of file. A UTF-8 byte-order mark that an editor put in front of
// the first line is no part of it (else the first section would go unseen);
// it is handed back in bom so that a rewrite keeps it.
std::optional<std::vector<Line>> readLines(const std::string& file, bool& exists, std::string* bom = nullptr) {
    exists = false;
    std::ifstream in(os::osPath(file), std::ios::binary);
    if (!in) {
        // A file that is not there is an empty file; one that is there but
        // cannot be opened is a failure.
        if (os::nothingAt(file)) return std::vector<Line>{};
        return std::nullopt;
    }
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) return std::nullopt;
    exists = true;
    const std::string text = all.str();
    std::vector<Line> lines;
    size_t start = 0;
    if (std::string_view(text).starts_with(kUtf8Bom)) {
        start = kUtf8Bom.size();
        if (bom) *bom = kUtf8Bom;
    }
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back({text.substr(start), ""});
            break;
        }
        const bool cr = nl > start && text[nl - 1] == '\r';
        lines.push_back({text.substr(start, nl - start - (cr ? 1 : 0)), cr ? "\r\n" : "\n"});
        start = nl + 1;
    }
    return lines;
}

// The name of a section header line, or nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

bool isComment(std::string_view line) {
    line = trim(line);
    return !line.empty() && line.front() == ';';
}

// The key of a key=value line, or nullopt.
std::optional<std::string_view> keyName(std::string_view line) {
    if (isComment(line)) return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return trim(line.substr(0, eq));
}

struct Found {
    long sectionLine = -1;      // index of the header line
    long lastSectionLine = -1;  // last non-blank line of the section
    long keyLine = -1;
};

Found find(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
    Found f;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& text = lines[i].text;
        if (auto name = sectionName(text)) {
            if (inSection) break;  // the first section of that name only
            if (sameName(*name, section)) {
                inSection = true;
                f.sectionLine = f.lastSectionLine = static_cast<long>(i);
            }
            continue;
        }
        if (!inSection) continue;
        if (!trim(text).empty()) f.lastSectionLine = static_cast<long>(i);
        if (auto k = keyName(text); k && f.keyLine < 0 && sameName(*k, key)) {
            f.keyLine = static_cast<long>(i);
        }
    }
    return f;
}

int32_t leadingInteger(std::string_view s) {
    s = trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // The magnitude saturates just past the 32-bit range, so it never wraps.
    constexpr int64_t kCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t mag = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        mag = mag * 10 + (c - '0');
        if (mag > kCap) mag = kCap;
    }
    const int64_t v = negative ? -mag : mag;
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);  // -kCap is INT32_MIN
}

bool storable(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; }

bool validNames(const std::string& section, const std::string& key, const std::string& value) {
    return storable(section) && storable(key) && storable(value) && !key.empty() &&
           key.find('=') == std::string::npos && section.find(']') == std::string::npos &&
           trim(key).size() == key.size() && trim(section).size() == section.size() &&
           key.front() != '[' && key.front() != ';';
}

bool writeWhole(const std::string& path, const std::string& content, bool existed) {
    // A settings file that is a link is written where the link points, so
    // the link stays.
    std::error_code ec;
    const std::filesystem::path target = existed ? std::filesystem::canonical(os::osPath(path), ec) : os::osPath(path);
    if (ec) return false;
    const std::string file = os::pathText(target);
    const std::string temp = file + ".tmp-" + os::processTag();
    {
        std::ofstream out(os::osPath(temp), std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << content;
        out.flush();
        if (!out) {
            out.close();
            os::removeFile(temp);
            return false;
        }
    }
    // The settings file keeps its permissions.
    return os::replaceFile(temp, file, existed);
}

}  // namespace

int32_t getPrivateProfileInt(const std::string& section, const std::string& key,
                             int32_t defaultValue, const std::string& file) {
    bool exists = false;
    const std::optional<std::vector<Line>> lines = readLines(file, exists);
    if (!lines) return defaultValue;
    const Found f = find(*lines, section, key);
    if (f.keyLine < 0) return defaultValue;
    const std::string& text = (*lines)[static_cast<size_t>(f.keyLine)].text;
    const std::string_view value = trim(std::string_view(text).substr(text.find('=') + 1));
    if (value.empty()) return defaultValue;
    return leadingInteger(value);
}

bool writePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file) {
    if (!validNames(section, key, value)) return false;
    bool exists = false;
    std::string bom;
    std::optional<std::vector<Line>> read = readLines(file, exists, &bom);
    if (!read) return false;
    std::vector<Line>& lines = *read;

    // New lines take the line end the file already uses.
    std::string eol = "\n";
    for (const Line& l : lines) {
        if (!l.end.empty()) {
            eol = l.end;
            break;
        }
    }
    const std::string keyLine = key + "=" + value;
    const Found f = find(lines, section, key);
    if (f.keyLine >= 0) {
        lines[static_cast<size_t>(f.keyLine)].text = keyLine;
    } else if (f.sectionLine >= 0) {
        const auto at = static_cast<size_t>(f.lastSectionLine);
        if (lines[at].end.empty()) lines[at].end = eol;
        lines.insert(lines.begin() + static_cast<long>(at) + 1, Line{keyLine, eol});
    } else {
        if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
        lines.push_back({"[" + section + "]", eol});
        lines.push_back({keyLine, eol});
    }

    std::string content = bom;
    for (const Line& l : lines) content += l.text + l.end;
    return writeWhole(file, content, exists);
}

}  // namespace tovani
