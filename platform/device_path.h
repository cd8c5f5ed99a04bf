// Device paths. Every absolute path of the device (databases, socket, logs,
// /tmp, web files, certificates, capture and export directories) is mapped
// through nvr_path(), which puts it under $NVRWEB_ROOT when that is set and
// not empty. Nothing else concatenates the root.
#pragma once
#include <cstddef>
#include <string>

// The root prefix, "" on the device. Read once per process.
const char *nvr_root();

// Maps `device_path` into `out` (size bytes). Returns out, or nullptr when the
// mapped path does not fit (out then holds an empty text).
char *nvr_path(const char *device_path, char *out, size_t size);

// Same, as a std::string.
std::string nvr_path(const char *device_path);

// Tests only: forget the cached root so that a changed NVRWEB_ROOT is seen.
void nvr_root_reset_for_tests();
