// Route list of the status module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_STATUS, kRoutes).
#include "frontend/route_table.h"
#include "modules/status/status.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Status pages (pages.cpp).
    {"/8000", NVRWEB_HANDLER(on_get_network_status)},
    {"/8001", NVRWEB_HANDLER(on_get_network_traffic)},
    {"/8002", NVRWEB_HANDLER(on_get_camera_status)},
    {"/8003", NVRWEB_HANDLER(on_get_alarm_status)},
    {"/8004", NVRWEB_HANDLER(on_status_noop)},
    {"/8008", NVRWEB_HANDLER(on_get_storage_summary)},
    {"/8009", NVRWEB_HANDLER(on_get_poe_support)},
    {"/8010", NVRWEB_HANDLER(on_get_disk_channel_info)},
    {"/8011", NVRWEB_HANDLER(on_cgi_get_online_user_status)},
    // Packet capture (capture.cpp).
    {"/8005", NVRWEB_HANDLER(on_start_packet_capture)},
    {"/8006", NVRWEB_HANDLER(on_stop_packet_capture)},
    {"/8007", NVRWEB_HANDLER(on_download_packet_capture)},
    // Diagnosis (diagnosis.cpp).
    {"/6310", NVRWEB_HANDLER(on_export_diagnosis)},
    {"/6311", NVRWEB_HANDLER(on_download_diagnosis)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_STATUS, kRoutes)
