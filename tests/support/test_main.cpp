#include <gtest/gtest.h>

#include "database/bridge.h"
#include "platform/os/shared_library.h"

// Every test program of the core finds the bridge library in the build's
// program folder, not beside the test executable.
int main(int argc, char** argv) {
    tovani::bridge::setLibraryPath(std::string(TOVANI_PROGRAM_DIR) + "/" + tovani::os::bridgeLibraryName);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
