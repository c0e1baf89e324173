#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tovani::test {

using Bytes = std::vector<uint8_t>;

// The parts one after another, for writing frames and answers piece by piece.
inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace tovani::test
