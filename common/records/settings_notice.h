// Notices that tell the daemon a settings group changed or that the device
// must restart. Several modules send them.
#pragma once
#include <cstdint>
#include <cstring>

enum {
    IPC_SETTINGS_CHANGED = 1702, // SettingsGroupNotice
    IPC_DEVICE_RESTART = 1703,   // no payload
};

// Payload of 1702: the settings group's name ("network", "pppoe", "ddns",
// "mail", "more", "hostname"), zero-padded to 32 bytes.
struct SettingsGroupNotice {
    char group[32];
};
static_assert(sizeof(SettingsGroupNotice) == 32, "settings group notice is 32 bytes");

inline SettingsGroupNotice settings_group_notice(const char *group)
{
    SettingsGroupNotice n{};
    if (group) strncpy(n.group, group, sizeof n.group - 1);
    return n;
}
