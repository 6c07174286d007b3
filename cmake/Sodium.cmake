# libsodium (Ed25519 signatures of updates), as the imported target Sodium::Sodium.
# Found by its header and library alone, so that the MinGW cross-build finds its
# cross-built copy below CMAKE_FIND_ROOT_PATH the same way as Debian's libsodium-dev.
find_path(SODIUM_INCLUDE_DIR sodium.h)
find_library(SODIUM_LIBRARY NAMES sodium libsodium)
if(NOT SODIUM_INCLUDE_DIR OR NOT SODIUM_LIBRARY)
    message(FATAL_ERROR "libsodium not found (Debian: libsodium-dev; Windows: scripts/windows-toolchain.sh)")
endif()
add_library(Sodium::Sodium UNKNOWN IMPORTED)
set_target_properties(Sodium::Sodium PROPERTIES
    IMPORTED_LOCATION "${SODIUM_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${SODIUM_INCLUDE_DIR}")
