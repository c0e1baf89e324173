// tovani-view history FILE [--program-dir DIR] [--csv]
// tovani-view totals FILE [--program-dir DIR] [--csv]
// tovani-view balances [--program-dir DIR] [--csv]
//
// Runs a view of the window on stored card files and prints what the window
// would show after it in a freshly started program: the card-number label,
// the issue-date label and the balance label, one line each, then every table
// row, the header first, cells joined by a tab. With --csv only the table, as
// CSV (UTF-8 with a byte-order mark, CR LF line ends).
//
// DIR (default: the folder of this program) names the stations through its
// Station.DB and, for balances, holds the card files in DIR/RirekiDB. FILE is
// a path as given. Nothing is created or changed, except that a card file
// without its tables gets them, as in the window.
//
// Exit status: 0 shown, 1 the view failed (the reason on standard error,
// nothing on standard output), 2 wrong command line.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "database/file_system.h"
#include "store/db_files.h"
#include "views/card_display.h"
#include "views/card_views.h"
#include "views/plain_view_host.h"
#include "views/rireki_rows.h"

namespace {

using namespace tovani;

constexpr int ExitShown = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

constexpr const char* kUsage =
    "usage: tovani-view history FILE [--program-dir DIR] [--csv]\n"
    "       tovani-view totals FILE [--program-dir DIR] [--csv]\n"
    "       tovani-view balances [--program-dir DIR] [--csv]\n"
    "history: the whole stored history of the card file FILE, newest first;\n"
    "totals: its deposits and payments per month; balances: every card file\n"
    "in DIR/RirekiDB with its balance. DIR (default: this program's folder)\n"
    "holds Station.DB for station names. Prints the three card labels and the\n"
    "table, cells separated by tabs; --csv prints the table alone as CSV.\n";

int usage() {
    std::fputs(kUsage, stderr);
    return ExitUsage;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return ExitFailed;
}

struct CommandLine {
    std::string view;  // history, totals, balances
    std::string file;
    std::string programDir;
    bool csv = false;
};

std::optional<CommandLine> parse(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    CommandLine cl;
    cl.view = argv[1];
    if (cl.view != "history" && cl.view != "totals" && cl.view != "balances") return std::nullopt;
    const bool wantsFile = cl.view != "balances";
    bool haveFile = false, haveDir = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--csv") {
            cl.csv = true;
        } else if (arg == "--program-dir") {
            if (haveDir || i + 1 >= argc) return std::nullopt;
            cl.programDir = argv[++i];
            haveDir = true;
        } else if (arg.rfind("--", 0) != 0 && wantsFile && !haveFile && !arg.empty()) {
            cl.file = arg;
            haveFile = true;
        } else {
            return std::nullopt;
        }
    }
    if (wantsFile && !haveFile) return std::nullopt;
    if (!haveDir) cl.programDir = programFolder();
    if (cl.programDir.empty()) return std::nullopt;
    // The program folder is named without a trailing separator, so that the
    // paths in the texts read DIR/RirekiDB/... however DIR was typed.
    while (cl.programDir.size() > 1 && cl.programDir.back() == '/') cl.programDir.pop_back();
    return cl;
}

// RFC 4180: a field holding a comma, a quote or a line break is quoted, and
// quotes inside it doubled.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string render(const PlainViewHost& host, bool csv) {
    std::string out;
    if (csv) {
        out = "\xEF\xBB\xBF";  // so that spreadsheet programs read the file as UTF-8
    } else {
        for (CardLabel label : {CardLabel::CardID, CardLabel::SakuseiYmd, CardLabel::Zandaka})
            out += host.cardLabel(label) + "\n";
    }
    const ResultTable& table = host.table();
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.cols(); ++c) {
            if (c > 0) out += csv ? "," : "\t";
            out += csv ? csvField(table.text(r, c)) : table.text(r, c);
        }
        out += csv ? "\r\n" : "\n";
    }
    return out;
}

// The file list of the window, without creating the folder: a program folder
// without RirekiDB has no cards yet.
bool cardFileList(const std::string& programDir, std::vector<std::string>& entries, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(rirekiFolder(programDir), ec))) {
        entries.clear();
        return true;
    }
    return listCardFiles(rirekiFolder(programDir), entries, error);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return ExitShown;
    }
    const auto cl = parse(argc, argv);
    if (!cl) return usage();
    // Every view reads the folder: the card files of the overview, the
    // station names of a transit history. A folder that is not there would
    // show a history without names and no word why.
    if (!folderExists(cl->programDir)) return fail("Program folder not found: " + cl->programDir);

    // A freshly started window: empty labels, no card, the empty history
    // layout of one row.
    PlainViewHost host;
    CardReadResults card;
    NameCaches caches;
    std::string DBErrorMessage;
    NameLookup names{cl->programDir, caches, DBErrorMessage};
    bool SortAscending = false;
    ViewData data;
    ViewContext ctx{host, card, names, DBErrorMessage, SortAscending, data};
    setRirekiGrid(host, host.table(), 1, card.CardKind);

    bool shown = false;
    if (cl->view == "history") {
        shown = showRirekiFile(ctx, cl->file);
    } else if (cl->view == "totals") {
        shown = showSyuukeiFile(ctx, cl->file);
    } else {
        std::vector<std::string> entries;
        std::string error;
        if (!cardFileList(cl->programDir, entries, error)) return fail(error);
        shown = cmdZandaka_Click(ctx, cl->programDir, entries);
    }
    if (!shown) return fail(DBErrorMessage.empty() ? "the view failed" : DBErrorMessage);

    const std::string out = render(host, cl->csv);
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        return fail("cannot write to standard output");
    return ExitShown;
}
