#include "platform/device_path.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char *g_root = nullptr;
}

const char *nvr_root()
{
    if (!g_root) {
        const char *r = getenv("NVRWEB_ROOT");
        g_root = (r && *r) ? r : "";
    }
    return g_root;
}

void nvr_root_reset_for_tests() { g_root = nullptr; }

char *nvr_path(const char *device_path, char *out, size_t size)
{
    if (!out || size == 0) return nullptr;
    out[0] = '\0';
    if (!device_path) return nullptr;
    // Called for every file a request opens: plain copies, no formatting.
    const char *root = device_path[0] == '/' ? nvr_root() : "";
    const size_t root_len = strlen(root), path_len = strlen(device_path);
    if (root_len + path_len >= size) return nullptr;
    memcpy(out, root, root_len);
    memcpy(out + root_len, device_path, path_len + 1);
    return out;
}

std::string nvr_path(const char *device_path)
{
    if (!device_path) return std::string();
    if (device_path[0] != '/') return device_path;
    return std::string(nvr_root()) + device_path;
}
