// Handlers of the device log: log types, search, details and the CSV export.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/records/log.h"

// ---- logs.cpp -----------------------------------------------------------------------
int on_get_log_types(char *request);     // /1015
int on_get_log_info(char *request);      // /1002
int on_get_log_details(char *request);   // /1021
int on_download_logfile(char *request);  // /1003
int on_check_download_log(char *request); // /1022
// Replies: 8495 the search page, 8488 the detail text (count = bytes), 8494
// the export file (count = LogExportReply records).
void on_get_log_info_cb(size_t count, const void *payload);
void on_get_log_details_cb(size_t count, const void *payload);
void on_download_logfile_cb(size_t count, const void *payload);

// 1 when the entry's channel number names a disk (a disk port) rather than a
// camera channel: the operations on disks (format, network disks, removal)
// and the disk exceptions (full, error). 0 otherwise.
int log_channo_is_disk(int main_type, int64_t sub_type);

// The client address as the log pages show it: an IPv4-mapped address loses
// its "::ffff:" prefix, an address with a zone loses the zone ("%eth0").
void log_show_address(const char *addr, size_t size, char *out, size_t out_size);
