#pragma once

// The rows both windows' benchmarks fill their tables with: 100,000 transit
// rides between 50 stations whose names are in the name cache beforehand.

#include <random>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "names/station_lookup.h"

namespace tovani::bench {

constexpr int kRows = 100000;
constexpr int kStations = 50;

inline std::vector<RirekiInfo> transitRows() {
    std::mt19937 random(7);
    std::vector<RirekiInfo> rows(kRows);
    int balance = 500000;
    for (int i = 0; i < kRows; ++i) {
        auto& r = rows[static_cast<size_t>(i)];
        r.TorihikiTsuuban = kRows - i;
        r.RiyouKubun = 0x01;  // a ride through the gates
        r.Kiki = 0x16;
        r.Nyuusyutujou = 0x03;
        r.RiyouYmd = 20150101 + static_cast<int32_t>(i % 28);
        const int fare = 130 + static_cast<int>(random() % 900);
        r.Kingaku = fare;
        r.Zangaku = balance;
        balance += fare;
        r.NyuujouCD = 0xE300 + static_cast<int32_t>(random() % kStations);
        r.SyutujouCD = 0xE300 + static_cast<int32_t>(random() % kStations);
    }
    return rows;
}

inline void cacheStationNames(NameCaches& names) {
    for (int s = 0; s < kStations; ++s)
        names.StationCache[codeKey(0xE300 + s)] = "駅" + std::to_string(s) + "駅 丸ノ内線 東京地下鉄";
}

}  // namespace tovani::bench
