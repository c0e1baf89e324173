#pragma once

// C-convention entry points for callbacks written in the caller's convention.
//
// The engine calls every callback in the C convention; a 32-bit stdcall
// caller can only supply stdcall functions. For each (kind, callback) pair
// the registry makes one libffi closure whose C-convention entry calls that
// callback with the same argument words and hands its result back. Entries
// are made once and then reused, so registering the same callback again and
// again costs nothing; they live as long as the registry, because the engine
// may call a registered callback at any later time.

#include <ffi.h>

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "callback_kinds.h"

namespace rowgate {

class ClosureRegistry {
public:
    ClosureRegistry() = default;
    ~ClosureRegistry();
    ClosureRegistry(const ClosureRegistry&) = delete;
    ClosureRegistry& operator=(const ClosureRegistry&) = delete;

    // The engine-convention entry that calls `callback`; null when the
    // closure could not be made (out of memory). `callback` must not be null.
    template <typename Sig>
    typename Sig::Engine entryFor(CallbackKind kind, typename Sig::Caller callback) {
        using Call = Invoker<Sig>;
        void* code = entry(kind, reinterpret_cast<void*>(callback), Call::resultType(),
                           Call::argumentTypes(), Call::argumentCount, &Call::run);
        return reinterpret_cast<typename Sig::Engine>(code);
    }

    // Number of entries made so far.
    std::size_t size() const;

private:
    using Handler = void (*)(ffi_cif*, void*, void**, void*);

    struct Entry {
        ffi_cif cif;
        ffi_closure* closure = nullptr;
        void* code = nullptr;
    };

    template <typename T>
    static ffi_type* typeOf() {
        if constexpr (std::is_void_v<T>) return &ffi_type_void;
        else if constexpr (std::is_pointer_v<T>) return &ffi_type_pointer;
        else if constexpr (std::is_same_v<T, int>) return &ffi_type_sint;
        else if constexpr (std::is_same_v<T, sqlite3_int64>) return &ffi_type_sint64;
        else if constexpr (std::is_same_v<T, sqlite3_uint64>) return &ffi_type_uint64;
        else static_assert(sizeof(T) == 0, "no libffi type for this callback argument");
    }

    template <typename Sig>
    struct Invoker;

    template <typename R, typename... A>
    struct Invoker<Signature<R, A...>> {
        using Caller = typename Signature<R, A...>::Caller;
        static constexpr unsigned argumentCount = sizeof...(A);

        static ffi_type* resultType() { return typeOf<R>(); }
        static ffi_type** argumentTypes() {
            static ffi_type* types[] = {typeOf<A>()...};
            return types;
        }

        // libffi hands each argument as the address of its value; the call
        // below pushes them again, in order, in the caller's convention.
        static void run(ffi_cif*, void* result, void** args, void* callback) {
            call(result, args, reinterpret_cast<Caller>(callback), std::index_sequence_for<A...>{});
        }

        template <std::size_t... I>
        static void call(void* result, void** args, Caller callback, std::index_sequence<I...>) {
            if constexpr (std::is_void_v<R>) {
                callback(*static_cast<A*>(args[I])...);
            } else {
                // libffi wants integral results widened to a full register.
                *static_cast<ffi_sarg*>(result) = callback(*static_cast<A*>(args[I])...);
            }
        }
    };

    void* entry(CallbackKind kind, void* callback, ffi_type* result, ffi_type** args,
                unsigned argCount, Handler handler);

    mutable std::mutex mutex_;
    std::map<std::pair<CallbackKind, void*>, std::unique_ptr<Entry>> entries_;
};

}  // namespace rowgate
