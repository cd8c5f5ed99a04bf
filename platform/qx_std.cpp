#include "platform/qx_std.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <sys/prctl.h>

namespace {
std::atomic<long> g_outstanding{0};
}

void *__qx_malloc(size_t size, const char *, int)
{
    void *p = malloc(size ? size : 1);
    if (p) g_outstanding++;
    return p;
}

void __qx_free(void *ptr, const char *, int)
{
    if (!ptr) return;
    g_outstanding--;
    free(ptr);
}

long qx_alloc_outstanding() { return g_outstanding.load(); }

int qx_system(const char *command) { return command ? system(command) : -1; }

namespace {
int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

int get_url_encode(const char *src, char *out, size_t size)
{
    if (!out || size == 0) return -1;
    static const char kHex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(src ? src : ""); *p; p++) {
        bool plain = isalnum(*p) || *p == '-' || *p == '_' || *p == '.' || *p == '~';
        size_t need = plain ? 1 : 3;
        if (n + need > size - 1) break;
        if (plain) {
            out[n++] = static_cast<char>(*p);
        } else {
            out[n++] = '%';
            out[n++] = kHex[*p >> 4];
            out[n++] = kHex[*p & 15];
        }
    }
    out[n] = '\0';
    return static_cast<int>(n);
}

int get_url_decode(char *text)
{
    if (!text) return -1;
    char *w = text;
    for (const char *r = text; *r; r++) {
        int hi, lo;
        if (*r == '%' && (hi = hex_value(r[1])) >= 0 && (lo = hex_value(r[2])) >= 0) {
            *w++ = static_cast<char>(hi << 4 | lo);
            r += 2;
        } else {
            *w++ = *r == '+' ? ' ' : *r;
        }
    }
    *w = '\0';
    return static_cast<int>(w - text);
}

int qx_set_bit(uint64_t *mask, int bit, int value)
{
    if (!mask || bit < 0 || bit > 63) return -1;
    if (value) *mask |= 1ULL << bit;
    else *mask &= ~(1ULL << bit);
    return 0;
}

int qx_mutex_init(qx_mutex_t *m) { return m ? pthread_mutex_init(m, nullptr) : -1; }
int qx_mutex_lock(qx_mutex_t *m) { return m ? pthread_mutex_lock(m) : -1; }
int qx_mutex_unlock(qx_mutex_t *m) { return m ? pthread_mutex_unlock(m) : -1; }
int qx_mutex_uninit(qx_mutex_t *m) { return m ? pthread_mutex_destroy(m) : -1; }

int qx_task_create_join(qx_task_t *task, void *(*fn)(void *), void *arg)
{
    if (!task || !fn) return -1;
    return pthread_create(task, nullptr, fn, arg) == 0 ? 0 : -1;
}

int qx_task_join(qx_task_t task) { return pthread_join(task, nullptr) == 0 ? 0 : -1; }

int qx_task_set_name(const char *name)
{
    if (!name) return -1;
    return prctl(PR_SET_NAME, name, 0, 0, 0) == 0 ? 0 : -1;
}
