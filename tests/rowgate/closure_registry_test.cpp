// The registry behind the 32-bit callback adapters: one C-convention entry per
// (kind, callback), made once and reused, calling its own callback with the
// engine's arguments.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "closure_registry.h"

namespace {

using rowgate::CallbackKind;
using rowgate::ClosureRegistry;

int ROWGATE_CALL first(void* arg, int n) { return *static_cast<int*>(arg) + n; }
int ROWGATE_CALL second(void* arg, int n) { return *static_cast<int*>(arg) * n; }

struct UpdateSeen {
    int op = 0;
    sqlite3_int64 rowid = 0;
};

void ROWGATE_CALL update(void* arg, int op, const char*, const char*, sqlite3_int64 rowid) {
    auto* seen = static_cast<UpdateSeen*>(arg);
    seen->op = op;
    seen->rowid = rowid;
}

TEST(RowgateClosureRegistry, OneEntryPerKindAndCallback) {
    ClosureRegistry registry;
    auto a = registry.entryFor<rowgate::BusySignature>(CallbackKind::Busy, &first);
    auto b = registry.entryFor<rowgate::BusySignature>(CallbackKind::Busy, &second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    int ten = 10;
    EXPECT_EQ(a(&ten, 3), 13);  // each entry calls its own callback
    EXPECT_EQ(b(&ten, 3), 30);

    // Registering the same callbacks again and again makes nothing new.
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(registry.entryFor<rowgate::BusySignature>(CallbackKind::Busy, &first), a);
        EXPECT_EQ(registry.entryFor<rowgate::BusySignature>(CallbackKind::Busy, &second), b);
    }
    EXPECT_EQ(registry.size(), 2u);

    // The same function as another kind has an entry of that kind.
    auto progress = registry.entryFor<rowgate::BusySignature>(CallbackKind::Progress, &first);
    EXPECT_NE(progress, a);
    EXPECT_EQ(registry.size(), 3u);
}

TEST(RowgateClosureRegistry, SixtyFourBitArgumentsArriveWhole) {
    ClosureRegistry registry;
    auto entry = registry.entryFor<rowgate::UpdateSignature>(CallbackKind::Update, &update);
    ASSERT_NE(entry, nullptr);
    UpdateSeen seen;
    entry(&seen, SQLITE_UPDATE, "main", "t", -0x123456789ABCDEF0LL);
    EXPECT_EQ(seen.op, SQLITE_UPDATE);
    EXPECT_EQ(seen.rowid, -0x123456789ABCDEF0LL);
}

TEST(RowgateClosureRegistry, ConcurrentRequestsShareOneEntry) {
    ClosureRegistry registry;
    std::vector<rowgate::BusySignature::Engine> got(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < got.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                got[t] = registry.entryFor<rowgate::BusySignature>(CallbackKind::Busy, &first);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(registry.size(), 1u);
    for (auto e : got) EXPECT_EQ(e, got[0]);
}

}  // namespace
