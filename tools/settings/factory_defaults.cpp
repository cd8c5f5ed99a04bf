#include "tools/settings/factory_defaults.h"

// The values handlers fall back to when a parameter is missing, so that a
// fresh database answers as an unconfigured recorder does.
const FactoryParam kFactoryParams[] = {
    {"max_cameras", "32"},
    {"max_poe_num", "0"},
    {"poepsd", "kp4821"},
    {"alarm_in", "16"},
    {"alarm_out", "4"},
    {"deviceid", "255"},
    {"model", ""},
    {"company", "Tarnvelle"},
    {"hardware_version", "V1.1"},
    {"software_version", "7x.7.0.9"},
    {"plugin_version", "1.0"},
    {"mplugin_version", "1.0"},
    {"failover_mode", "0"},
    {"same_channel_exist", "0"},
    {"permission_update", "0"},
    {"wizard_enable", "0"},
    {"display_mode", "0"},
    {"homologous", "1"},
    {"hdmihotplug", "1"},
    {"hide_taskbar", "0"},
    {"hide_toolbar", "0"},
    {"stream_information", "0"},
    {"qxfs_dbup", "0"},
    {"transport_protocol", "0"},
    {"oemupdateonline", "0"},
    {"httpsenable", "0"},
    {"access_filter_enable", "0"},
    {"access_filter_type", "1"},
    {"pushmsg_alarmin_type", "65535"},
    {"raidmode", "0"},
    {"esata_type", "0"},
    {"group_mode", "0"},
    // Sessions: requests without one are logged, not refused, until the
    // check is set to 2; idle sessions end after 30 minutes.
    {"session_check", "1"},
    {"session_idle_minutes", "30"},
};
const size_t kFactoryParamCount = sizeof kFactoryParams / sizeof kFactoryParams[0];
