#include "platform/os/process.h"

#include <cstdlib>

namespace tovani::os {

std::vector<std::string> commandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void useUtf8StandardStreams() {}  // bytes already

}  // namespace tovani::os
