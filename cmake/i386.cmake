# The 32-bit x86 build of the bridge library and its tests:
#   cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake -DTOVANI_ROWGATE_ONLY=ON
# Debian's multiarch gcc with -m32 and the :i386 development packages.

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_ASM_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# pkg-config must find the i386 .pc files, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# Some x86-64 kernels run without 32-bit support; there the test programs
# and benchmarks run under user-mode emulation instead.
execute_process(COMMAND /lib/ld-linux.so.2 --version
                RESULT_VARIABLE _tovani_i386_native OUTPUT_QUIET ERROR_QUIET)
if(NOT _tovani_i386_native EQUAL 0)
  find_program(TOVANI_QEMU_I386 qemu-i386)
  if(TOVANI_QEMU_I386)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVANI_QEMU_I386})
  else()
    message(WARNING "This kernel cannot run 32-bit x86 programs and qemu-i386 is missing: "
                    "the 32-bit tests will not run (apt-get install qemu-user)")
  endif()
endif()
