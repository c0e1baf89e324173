#pragma once

// Shared helpers of the bridge library tests.
//
// RG(name, args...) calls the export rowgate_<name>. On 32-bit x86 the call
// goes through an assembly helper that pushes the argument words itself and
// checks that the export removed exactly those words from the stack (the
// standard-call convention the library exists for); elsewhere it is a plain
// call.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "rowgate.h"

namespace rowgate_test {

#if defined(__i386__)

extern "C" std::uint64_t rowgate_test_call_words(const void* fn, const std::uint32_t* words,
                                                 int count, std::int32_t* imbalance);
extern "C" double rowgate_test_call_words_double(const void* fn, const std::uint32_t* words,
                                                 int count, std::int32_t* imbalance);

template <typename T>
void pushWords(std::vector<std::uint32_t>& words, T value) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "argument is one or two words");
    std::uint32_t parts[2] = {};
    std::memcpy(parts, &value, sizeof(T));  // little-endian: low word first, as the ABI pushes
    words.push_back(parts[0]);
    if constexpr (sizeof(T) == 8) words.push_back(parts[1]);
}

template <typename R, typename... P, typename... A>
R call(const char* name, R (ROWGATE_CALL* fn)(P...), A&&... args) {
    static_assert(sizeof...(P) == sizeof...(A), "argument count of the export");
    std::vector<std::uint32_t> words;
    (pushWords<P>(words, static_cast<P>(std::forward<A>(args))), ...);
    std::int32_t imbalance = 0;
    const void* target = reinterpret_cast<const void*>(fn);
    const int count = static_cast<int>(words.size());
    if constexpr (std::is_floating_point_v<R>) {
        const double r = rowgate_test_call_words_double(target, words.data(), count, &imbalance);
        EXPECT_EQ(imbalance, 0) << name << " left the stack unbalanced";
        return static_cast<R>(r);
    } else {
        const std::uint64_t r = rowgate_test_call_words(target, words.data(), count, &imbalance);
        EXPECT_EQ(imbalance, 0) << name << " left the stack unbalanced";
        if constexpr (std::is_void_v<R>) {
            return;
        } else if constexpr (std::is_pointer_v<R>) {
            return reinterpret_cast<R>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(r)));
        } else if constexpr (sizeof(R) == 8) {
            R v;
            std::memcpy(&v, &r, sizeof v);
            return v;
        } else {
            return static_cast<R>(static_cast<std::uint32_t>(r));
        }
    }
}

#else

template <typename R, typename... P, typename... A>
R call(const char*, R (*fn)(P...), A&&... args) {
    return fn(static_cast<P>(std::forward<A>(args))...);
}

#endif

#define RG(name, ...) ::rowgate_test::call(#name, &rowgate_##name __VA_OPT__(, ) __VA_ARGS__)

// A fresh folder for database files, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto candidate = std::filesystem::temp_directory_path() / ("rowgate-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {  // false when it was there already
                path_ = candidate;
                return;
            }
        }
        throw std::runtime_error("no fresh temporary folder");
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A connection opened through the bridge, closed at the end of the scope.
class Db {
public:
    explicit Db(const std::string& path = ":memory:",
                int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, const char* vfs = nullptr) {
        rc_ = RG(open_v2, path.c_str(), &db_, flags, vfs);
    }
    ~Db() {
        if (db_ != nullptr) RG(close, db_);
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    sqlite3* get() const { return db_; }
    operator sqlite3*() const { return db_; }
    int openResult() const { return rc_; }

    // Runs SQL without a row callback; the engine's message on failure.
    std::string run(const std::string& sql) const {
        char* err = nullptr;
        const int rc = RG(exec, db_, sql.c_str(), nullptr, nullptr, &err);
        std::string message = rc == SQLITE_OK ? "" : (err != nullptr ? err : "error");
        RG(free, err);
        return message;
    }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

}  // namespace rowgate_test
