// tovani-view: the window's three views on stored card files, printed; what
// it does is in its --help text below.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "database/file_system.h"
#include "store/db_files.h"
#include "tools/command_line.h"
#include "views/card_display.h"
#include "views/card_views.h"
#include "views/plain_view_host.h"
#include "views/rireki_rows.h"

namespace {

using namespace tovani;

constexpr int ExitShown = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

constexpr const char* kSynopsis =
    "Usage: tovani-view history FILE [--program-dir DIR] [--csv]\n"
    "  or:  tovani-view totals FILE [--program-dir DIR] [--csv]\n"
    "  or:  tovani-view balances [--program-dir DIR] [--csv]\n"
    "  or:  tovani-view -h | --help | --version\n";

std::string helpText() {
    return std::string(kSynopsis) +
           "\n"
           "Runs a view of the Tovani Viewer window on stored card files and prints what\n"
           "the window would show after it in a freshly started program: the card-number\n"
           "label, the issue-date label and the balance label, one line each, then every\n"
           "table row, the header first, cells separated by a tab. Nothing is created or\n"
           "changed, except that a card file without its tables gets them, as in the\n"
           "window.\n"
           "\n"
           "Commands:\n"
           "  history FILE  the whole stored history of the card file FILE, newest first\n"
           "  totals FILE   the deposits and payments of the card file FILE per month\n"
           "  balances      every card file in DATA/RirekiDB with its balance\n"
           "\n"
           "Exit status:\n"
           "  0  shown\n"
           "  1  the view failed: the reason on standard error, nothing on standard output\n"
           "  2  wrong command line\n"
           "\n"
           "Options:\n"
           "  --program-dir DIR  take the card files and Station.DB from DIR instead of\n"
           "                     the data folder\n"
           "  --csv              print the table alone as CSV (UTF-8 with a byte-order\n"
           "                     mark, CR LF line ends)\n"
           "  -h, --help         print this help and exit\n"
           "  --version          print the version and exit\n"
           "\n"
           "Environment:\n" +
           dataFolderEnvironmentHelp +
           "\n"
           "Files:\n"
           "  DATA/RirekiDB/*.DB     the card files, one per card, as the window stores them\n"
           "  DATA/Station.DB        the station and bus-stop names of transit histories\n" +
           bridgeLibraryHelpLine(25) +
           "\n" +
           dataFolderHelp;
}

int usage() {
    std::fprintf(stderr, "%sTry 'tovani-view --help' for more information.\n", kSynopsis);
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
    bool dirGiven = false;  // --program-dir; else the data folder
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
    if (haveDir && cl.programDir.empty()) return std::nullopt;
    if (!haveDir) cl.programDir = dataFolder();
    cl.dirGiven = haveDir;
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
    if (nothingAt(rirekiFolder(programDir))) {
        entries.clear();
        return true;
    }
    return listCardFiles(rirekiFolder(programDir), entries, error);
}

}  // namespace

int main(int argc, char** argv) {
    const Utf8CommandLine utf8(argc, argv);
    switch (commonOption(argc, argv)) {
    case CommonOption::Help:
        std::fputs(helpText().c_str(), stdout);
        return ExitShown;
    case CommonOption::Version:
        std::printf("tovani-view %s\n", TOVANI_VERSION);
        return ExitShown;
    case CommonOption::Misused:
        return usage();
    case CommonOption::None:
        break;
    }
    const auto cl = parse(argc, argv);
    if (!cl) return usage();
    if (const std::string error = programFolderError(); !error.empty()) return fail(error);
    // Every view reads the folder: the card files of the overview, the
    // station names of a transit history. A folder that is not there would
    // show a history without names and no word why. A user who has stored
    // nothing yet has no data folder, and no cards: the overview of none.
    if (cl->programDir.empty()) return fail(prepareDataFolder(cl->programDir));  // says why there is none
    const bool noCardsYet = !cl->dirGiven && cl->view == "balances";
    if (!folderExists(cl->programDir) && !noCardsYet)
        return fail((cl->dirGiven ? "Program folder not found: " : "Data folder not found: ") + cl->programDir);

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
