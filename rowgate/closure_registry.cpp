#include "closure_registry.h"

namespace rowgate {

ClosureRegistry::~ClosureRegistry() {
    for (auto& [key, e] : entries_) ffi_closure_free(e->closure);
}

std::size_t ClosureRegistry::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void* ClosureRegistry::entry(CallbackKind kind, void* callback, ffi_type* result, ffi_type** args,
                             unsigned argCount, Handler handler) {
    std::lock_guard lock(mutex_);
    const auto key = std::make_pair(kind, callback);
    if (auto it = entries_.find(key); it != entries_.end()) return it->second->code;

    auto e = std::make_unique<Entry>();
    e->closure = static_cast<ffi_closure*>(ffi_closure_alloc(sizeof(ffi_closure), &e->code));
    if (e->closure == nullptr) return nullptr;
    // The engine calls in the platform's C convention, the default ABI.
    if (ffi_prep_cif(&e->cif, FFI_DEFAULT_ABI, argCount, result, args) != FFI_OK ||
        ffi_prep_closure_loc(e->closure, &e->cif, handler, callback, e->code) != FFI_OK) {
        ffi_closure_free(e->closure);
        return nullptr;
    }
    void* code = e->code;
    entries_.emplace(key, std::move(e));
    return code;
}

}  // namespace rowgate
