// SNMP agent, client address filter and live-stream multicast: the records
// of the settings database shared with the daemon and the requests that
// apply them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/settings.h"

// Request codes (the daemon answers with code + 5000). The SNMP settings are
// announced with the settings group notice "snmp" (1702).
enum {
    IPC_ACCESS_FILTER_SET = 1722, // no payload
    IPC_MULTICAST_SET = 1729,     // MulticastRecord; reply 6729: int32 result
};

// ---- SNMP -----------------------------------------------------------------------------------
struct SnmpRecord {
    int32_t v1_enable;
    int32_t v2c_enable;
    char write_community[64];
    char read_community[64];
    int32_t v3_enable;
    char read_security_name[64];
    int32_t read_level_security;
    int32_t read_auth_algorithm;
    char read_auth_password[64];
    int32_t read_pri_algorithm;
    char read_pri_password[64];
    char write_security_name[64];
    int32_t write_level_security;
    int32_t write_auth_algorithm;
    char write_auth_password[64];
    int32_t write_pri_algorithm;
    char write_pri_password[64];
    int32_t port;
};
static_assert(sizeof(SnmpRecord) == 552, "SNMP record is 552 bytes");
static_assert(offsetof(SnmpRecord, read_community) == 72, "");
static_assert(offsetof(SnmpRecord, v3_enable) == 136, "");
static_assert(offsetof(SnmpRecord, read_level_security) == 204, "");
static_assert(offsetof(SnmpRecord, read_auth_password) == 212, "");
static_assert(offsetof(SnmpRecord, read_pri_algorithm) == 276, "");
static_assert(offsetof(SnmpRecord, write_security_name) == 344, "");
static_assert(offsetof(SnmpRecord, write_level_security) == 408, "");
static_assert(offsetof(SnmpRecord, write_auth_password) == 416, "");
static_assert(offsetof(SnmpRecord, write_pri_algorithm) == 480, "");
static_assert(offsetof(SnmpRecord, write_pri_password) == 484, "");
static_assert(offsetof(SnmpRecord, port) == 548, "");
NVR_DB_SINGLE(snmp, SnmpRecord, "snmp")

// ---- Address filter -------------------------------------------------------------------------
// Parameters "access_filter_enable" (default 0) and "access_filter_type"
// (default 1), and the list of addresses.
enum { ACCESS_FILTER_MAX = 100 };
struct AccessFilterEntry {
    int32_t address_type;
    char address[32];
};
static_assert(sizeof(AccessFilterEntry) == 36, "address filter entry is 36 bytes");

// The list is stored whole with its length, so a shorter list never leaves
// entries of a longer one behind.
struct AccessFilterList {
    int32_t count;
    AccessFilterEntry entries[ACCESS_FILTER_MAX];
};
static_assert(sizeof(AccessFilterList) == 4 + 36 * ACCESS_FILTER_MAX, "");
NVR_DB_SINGLE(access_filter_list, AccessFilterList, "access_filter")

// Fills at most `capacity` entries (and never more than the list's
// capacity, whatever the stored length says); *count tells how many.
inline int read_access_filter(const char *path, AccessFilterEntry *entries, int capacity, int *count)
{
    *count = 0;
    AccessFilterList list{};
    if (read_access_filter_list(path, &list) != 0) return -1;
    int n = list.count;
    if (n < 0) n = 0;
    if (n > ACCESS_FILTER_MAX) n = ACCESS_FILTER_MAX;
    if (n > capacity) n = capacity;
    for (int i = 0; i < n; i++) entries[i] = list.entries[i];
    *count = n;
    return 0;
}
// Stores the first `count` entries (at most ACCESS_FILTER_MAX; -1 for more).
inline int write_access_filter(const char *path, const AccessFilterEntry *entries, int count)
{
    if (count < 0 || count > ACCESS_FILTER_MAX) return -1;
    AccessFilterList list{};
    list.count = count;
    for (int i = 0; i < count; i++) list.entries[i] = entries[i];
    return write_access_filter_list(path, &list);
}

// ---- Multicast ------------------------------------------------------------------------------
struct MulticastRecord {
    int32_t enable; // "enable"
    uint8_t reserved[4];
    char ip[64];    // "ip": the multicast address
};
static_assert(sizeof(MulticastRecord) == 72, "multicast record is 72 bytes");
static_assert(offsetof(MulticastRecord, ip) == 8, "");
NVR_DB_SINGLE(multicast, MulticastRecord, "multicast")
