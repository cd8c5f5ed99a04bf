// Status module: the status pages of network ports, traffic, cameras,
// alarms, storage, PoE, disk groups and users logged in (pages.cpp), the
// packet capture and its download (capture.cpp), the diagnosis export and
// its download (diagnosis.cpp).
#pragma once

#include "common/records/status.h"
#include "common/reply_table.h"

// ---- Routes --------------------------------------------------------------------------------
int on_get_network_status(char *request);         // /8000
int on_get_network_traffic(char *request);        // /8001
int on_get_camera_status(char *request);          // /8002
int on_get_alarm_status(char *request);           // /8003
int on_status_noop(char *request);                // /8004
int on_start_packet_capture(char *request);       // /8005
int on_stop_packet_capture(char *request);        // /8006
int on_download_packet_capture(char *request);    // /8007
int on_get_storage_summary(char *request);        // /8008
int on_get_poe_support(char *request);            // /8009
int on_get_disk_channel_info(char *request);      // /8010
int on_cgi_get_online_user_status(char *request); // /8011
int on_export_diagnosis(char *request);           // /6310
int on_download_diagnosis(char *request);         // /6311

// ---- Reply dispatcher (pages.cpp) ------------------------------------------------------------
void on_status_ipc_callback(int unused, const void *header, const void *payload);

// The answer of the diagnosis export's reply (diagnosis.cpp).
void on_diagnosis_cb(const IpcReply &reply);

// ---- Downloads (diagnosis.cpp) --------------------------------------------------------------------
// Sends the open file `fd` as a download named `name`: the header, then the
// bytes. false (after the debug lines) when the copy failed part way.
bool status_send_download(int fd, const char *name);
