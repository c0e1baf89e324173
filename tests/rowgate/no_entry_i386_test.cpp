// 32-bit x86 only: what the exports do when a callback entry cannot be made
// (out of memory). The engine-convention entries come from libffi's
// ffi_closure_alloc; this program defines that function itself, so the
// library's calls reach it first, and fails it on demand.

#include <dlfcn.h>
#include <ffi.h>

#include "support.h"

namespace {

bool failEntries = false;

}  // namespace

extern "C" void* ffi_closure_alloc(size_t size, void** code) {
    if (failEntries) return nullptr;
    using Alloc = void* (*)(size_t, void**);
    static const auto real = reinterpret_cast<Alloc>(dlsym(RTLD_NEXT, "ffi_closure_alloc"));
    return real(size, code);
}

namespace {

using rowgate_test::Db;

// While alive, no callback entry can be made.
struct NoEntries {
    NoEntries() { failEntries = true; }
    ~NoEntries() { failEntries = false; }
};

int ROWGATE_CALL compareNeverRegistered(void*, int, const void*, int, const void*) { return 0; }
void countDestroy(void* arg) { ++*static_cast<int*>(arg); }

// The engine leaves the argument to the caller when create_collation_v2
// fails; destroying it here too would make the caller free it twice.
TEST(RowgateNoEntry, AFailedCollationLeavesItsArgumentToTheCaller) {
    int destroyed = 0;
    Db db;
    {
        NoEntries off;
        EXPECT_EQ(RG(create_collation_v2, db, "never", SQLITE_UTF8, &destroyed, &compareNeverRegistered,
                     &countDestroy),
                  SQLITE_NOMEM);
    }
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(db.run("SELECT 'a' = 'b' COLLATE never"), "no such collation sequence: never");
}

struct Counts {
    int oldHook = 0;
    int newHook = 0;
};

int ROWGATE_CALL oldCommit(void* arg) {
    ++static_cast<Counts*>(arg)->oldHook;
    return 0;
}
int ROWGATE_CALL newCommit(void* arg) {
    ++static_cast<Counts*>(arg)->newHook;
    return 0;
}
int ROWGATE_CALL oldProgress(void* arg) {
    ++static_cast<Counts*>(arg)->oldHook;
    return 0;
}
int ROWGATE_CALL newProgress(void* arg) {
    ++static_cast<Counts*>(arg)->newHook;
    return 0;
}

// A hook that cannot be replaced is removed, and its argument is returned as
// a replacement would return it: the caller may free that argument, so the
// old hook must never run again.
TEST(RowgateNoEntry, AHookThatCannotBeReplacedIsRemoved) {
    Counts before, after;
    Db db;
    ASSERT_EQ(db.run("CREATE TABLE t(x)"), "");
    EXPECT_EQ(RG(commit_hook, db, &oldCommit, &before), nullptr);
    RG(progress_handler, db, 1, &oldProgress, &before);
    ASSERT_EQ(db.run("INSERT INTO t VALUES(1)"), "");
    ASSERT_GT(before.oldHook, 0);
    before.oldHook = 0;
    {
        NoEntries off;
        EXPECT_EQ(RG(commit_hook, db, &newCommit, &after), &before);
        RG(progress_handler, db, 1, &newProgress, &after);
    }
    ASSERT_EQ(db.run("INSERT INTO t VALUES(2)"), "");
    EXPECT_EQ(before.oldHook, 0);
    EXPECT_EQ(after.newHook, 0);
    EXPECT_EQ(RG(commit_hook, db, nullptr, nullptr), nullptr);  // nothing left registered
}

}  // namespace
