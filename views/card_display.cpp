#include "views/card_display.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

#include "database/file_system.h"
#include "platform/os/paths.h"
#include "views/amount.h"
#include "views/number_format.h"

namespace tovani {

namespace {

namespace fs = std::filesystem;

enum class SortKind { None, Numeric, Text, Amount };

struct SortColumns {
    const char* tag;
    int32_t cardKind;  // CardKindSF, any other for "not transit", or -1 for any kind
    std::array<SortKind, 8> byColumn;
};

// The "入金" and "出金" columns of the transit history table.
constexpr int kTransitDepositColumn = 5;
constexpr int kTransitPaymentColumn = 6;
constexpr int32_t kAnyKind = -1;
constexpr int32_t kNotTransit = 0;
constexpr auto N = SortKind::Numeric;
constexpr auto T = SortKind::Text;
constexpr auto A = SortKind::Amount;
constexpr auto X = SortKind::None;

constexpr std::array<SortColumns, 4> kSortColumns = {{
    {"Rireki", kNotTransit, {N, T, T, A, A, A, X, X}},
    {"Rireki", CardKindSF, {N, T, T, T, T, A, A, A}},
    {"Syuukei", kAnyKind, {T, A, A, A, A, A, A, X}},
    {"Zandaka", kAnyKind, {T, T, T, A, X, X, X, X}},
}};

SortKind sortKindOf(const std::string& tag, int32_t cardKind, int col) {
    if (col < 0 || col >= 8) return SortKind::None;
    for (const SortColumns& s : kSortColumns) {
        if (tag != s.tag) continue;
        const bool kindMatches = s.cardKind == kAnyKind ||
                                 (s.cardKind == CardKindSF) == (cardKind == CardKindSF);
        if (kindMatches) return s.byColumn[static_cast<size_t>(col)];
    }
    return SortKind::None;
}

std::string asciiUpper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// Names compared with ASCII letters upper-cased; names equal but for letter
// case in byte order, so the order is total and the same on every file system.
bool cardFileNameLess(const std::string& a, const std::string& b) {
    const int byUpper = asciiUpper(a).compare(asciiUpper(b));
    if (byUpper != 0) return byUpper < 0;
    return a < b;
}

bool isCardFileName(const std::string& name) {
    static const std::string kSuffix = ".DB";
    return !name.empty() && name[0] != '.' && name.size() > kSuffix.size() &&
           name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

int compareAmounts(const std::optional<Amount>& x, const std::optional<Amount>& y, bool SortAscending) {
    if (!x || !y) {
        // Not numbers cannot be ordered by value: they go after the numbers.
        if (!x && !y) return 0;
        return !x ? 1 : -1;
    }
    if (*x > *y) return SortAscending ? 1 : -1;
    if (*x < *y) return SortAscending ? -1 : 1;
    return 0;
}

}  // namespace

std::string cardNumberCaption(int32_t cardKind) {
    switch (cardKind) {
    case CardKindEdy: return "Edy番号：";
    case CardKindNanaco: return "nanaco番号：";
    case CardKindWaon: return "WAON番号：";
    case CardKindSF: return "IDm番号：";
    default: return std::string();
    }
}

std::string balanceLabel(int32_t zangaku) { return "残高：" + formatGrouped(zangaku) + " 円"; }

std::string issueDateLabel(int32_t cardKind, int32_t hakkouYmd) {
    if (cardKind == CardKindSF || cardKind == CardKindWaon) return std::string();
    return "作成年月日：" + formatDate(hakkouYmd);
}

void showCardInfo(ViewHost& host, const CardReadResults& results, NameLookup& names) {
    const int32_t kind = results.CardKind;
    const int n = std::min<int>(rirekiSlotCount(kind), CardRirekiSize);
    int used = 0;
    int newest = -1;
    for (int i = 0; i < n; ++i) {
        if (results.CardRireki[static_cast<size_t>(i)].RiyouKubun != 0) {
            if (newest < 0) newest = i;
            ++used;
        }
    }

    if (const std::string caption = cardNumberCaption(kind); !caption.empty()) {
        host.setCardLabel(CardLabel::CardID, caption + results.CardID);
    }
    const int32_t balance = newest >= 0 ? results.CardRireki[static_cast<size_t>(newest)].Zangaku : 0;
    host.setCardLabel(CardLabel::Zandaka, balanceLabel(balance));
    host.setCardLabel(CardLabel::SakuseiYmd, issueDateLabel(kind, results.HakkouYmd));

    ResultTable& table = host.table();
    setRirekiGrid(host, table, used > 0 ? used : 1, kind);
    int row = 0;
    for (int i = 0; i < n; ++i) {
        const RirekiInfo& e = results.CardRireki[static_cast<size_t>(i)];
        if (e.RiyouKubun == 0) continue;
        ++row;
        setRirekiRow(table, row, e, kind, names);
        // An amount the stored history could not tell this time is not
        // shown as 0: its cells stay empty, as the entry stays unstored,
        // until a later read works it out.
        if (kind == CardKindSF && results.AmountUnknown[static_cast<size_t>(i)]) {
            table.setText(row, kTransitDepositColumn, "");
            table.setText(row, kTransitPaymentColumn, "");
        }
    }
}

std::string waitingEntriesMessage(int waiting) {
    return HistoryShownMessage + std::to_string(waiting) + " 件の履歴を保存できませんでした。次回の読み取りで保存します。";
}

int compareAmountTexts(const std::string& a, const std::string& b, bool SortAscending) {
    return compareAmounts(Amount::parse(a), Amount::parse(b), SortAscending);
}

int sortByClick(ResultTable& table, bool& SortAscending, int32_t CardKind) {
    SortAscending = !SortAscending;
    const int col = table.currentCol();
    if (col < 0 || col >= table.cols()) return 0;
    switch (sortKindOf(table.tag(), CardKind, col)) {
    case SortKind::None:
        return 0;
    case SortKind::Numeric:
        table.sortNumeric(col, SortAscending);
        return 0;
    case SortKind::Text:
        table.sortText(col, SortAscending);
        return 0;
    case SortKind::Amount:
        break;
    }
    // Each text is read once, not once per comparison: a click on 100,000
    // rows would otherwise parse millions of texts.
    const int first = table.fixedRows();
    const int dataRows = std::max(table.rows() - first, 0);
    std::vector<std::optional<Amount>> keys;
    keys.reserve(static_cast<size_t>(dataRows));
    int notNumbers = 0;
    for (int r = 0; r < dataRows; ++r) {
        keys.push_back(Amount::parse(table.text(first + r, col)));
        if (!keys.back()) ++notNumbers;
    }
    std::vector<int> order(static_cast<size_t>(dataRows));
    for (int r = 0; r < dataRows; ++r) order[static_cast<size_t>(r)] = r;
    const bool ascending = SortAscending;
    std::stable_sort(order.begin(), order.end(), [&keys, ascending](int a, int b) {
        return compareAmounts(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)], ascending) < 0;
    });
    table.reorderDataRows(order);
    return notNumbers;
}

bool listCardFiles(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    names.clear();
    error.clear();
    std::error_code ec;
    const fs::path dir = os::osPath(folder);
    if (!fs::is_directory(dir, ec)) {
        if (fs::exists(dir, ec)) {
            error = "RirekiDB folder error: " + folder + ": not a folder";
            return false;
        }
        // Made private: the file names are the card numbers.
        if (std::string why; !createFolder(folder, &why)) {
            error = "RirekiDB folder error: " + folder + ": " + why;
            return false;
        }
        return true;
    }
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = os::pathText(it->path().filename());
        std::error_code typeError;
        if (isCardFileName(name) && it->is_regular_file(typeError)) names.push_back(name);
    }
    if (ec) {
        names.clear();
        error = "RirekiDB folder error: " + folder + ": " + ec.message();
        return false;
    }
    std::sort(names.begin(), names.end(), cardFileNameLess);
    return true;
}

int selectedCardFile(const std::vector<std::string>& names, int32_t CardKind, const std::string& CardID) {
    if (names.empty()) return -1;
    if (CardID.empty()) return 0;
    const std::string wanted = dbFilePrefix(CardKind) + CardID + ".DB";
    const auto found = std::find(names.begin(), names.end(), wanted);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

}  // namespace tovani
