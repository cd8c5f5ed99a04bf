// The maker's small standard library: tracking allocator, shell command,
// bit setting, tasks and mutexes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <pthread.h>

void *__qx_malloc(size_t size, const char *source, int line);
void __qx_free(void *ptr, const char *source, int line);
#define QX_MALLOC(size) __qx_malloc((size), __FILE__, __LINE__)
#define QX_FREE(ptr) __qx_free((ptr), __FILE__, __LINE__)
// Number of blocks handed out and not yet freed (leak checks in tests).
long qx_alloc_outstanding();

// Runs a command through /bin/sh; the exit status as system() gives it.
int qx_system(const char *command);

// URL coding. get_url_encode writes src with every byte other than
// A-Z a-z 0-9 - _ . ~ as %XX into out (size bytes), cut before a sequence
// that would not fit, always zero-terminated; returns the length written.
// get_url_decode turns %XX into its byte and '+' into a blank in place (a
// '%' without two hex digits stays as it is); returns the new length.
int get_url_encode(const char *src, char *out, size_t size);
int get_url_decode(char *text);

// Sets (value 1) or clears (value 0) bit `bit` of a 64-bit mask; bits outside
// 0..63 leave the mask alone and return -1.
int qx_set_bit(uint64_t *mask, int bit, int value);

typedef pthread_mutex_t qx_mutex_t;
int qx_mutex_init(qx_mutex_t *m);
int qx_mutex_lock(qx_mutex_t *m);
int qx_mutex_unlock(qx_mutex_t *m);
int qx_mutex_uninit(qx_mutex_t *m);

typedef pthread_t qx_task_t;
int qx_task_create_join(qx_task_t *task, void *(*fn)(void *), void *arg);
int qx_task_join(qx_task_t task);
int qx_task_set_name(const char *name);
