# What both Windows toolchain files share: Debian's mingw-w64 cross compilers
# of the posix thread model (GCC 12's win32 model has no std::thread or
# std::mutex), a static runtime so that no MinGW DLL has to ship, and Wine to
# run the test programs. The including file sets TOVANI_MINGW_TRIPLET.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TOVANI_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVANI_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVANI_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOVANI_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must never hand the host's Linux libraries to a Windows build.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TOVANI_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Without -static-libgcc a 32-bit DLL would import libgcc_s_dw2-1.dll for
# 64-bit division; -static brings in winpthread the same way.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endforeach()

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
