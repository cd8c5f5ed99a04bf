# Cross build for the device: 32-bit ARM Linux, hard-float (armhf).
# Uses Debian's cross compiler (g++-arm-linux-gnueabihf) and the armhf
# multiarch -dev packages of json-c, SQLite and OpenSSL under
# /usr/lib/arm-linux-gnueabihf; scripts/deps.sh arm installs them.
#
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake -DNVRWEB_TESTS=OFF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_STRIP arm-linux-gnueabihf-strip CACHE FILEPATH "")

# 64-bit file offsets and inode numbers: files over 2 GiB, and stat/readdir
# without EOVERFLOW on file systems with large inode numbers (also under the
# emulator on the build machine). time_t stays the C library's.
# A format that does not match its argument is an error here: long is 4 bytes
# and int64_t is long long on this target, so "%ld" with an int64_t that
# passes on x86-64 reads the wrong bytes on the device.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -Werror=format")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -Werror=format")

# Libraries and headers: the cross compiler's own sysroot and the armhf
# multiarch directories; never the build machine's x86-64 ones.
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
list(APPEND CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu
     /usr/include/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake)

# pkg-config reads only the armhf .pc files (and the architecture-free ones).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Programs built here run on this machine through user-mode emulation, with
# the armhf multiarch run time (loader, C library, libstdc++ and the libraries
# above) as one consistent set. The cross compiler's own copy under
# /usr/arm-linux-gnueabihf (-L /usr/arm-linux-gnueabihf) pairs its loader with
# the multiarch C library of another release, and thread creation crashes.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /)
