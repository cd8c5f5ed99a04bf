// Route list of the status module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_STATUS, kRoutes).
#include "frontend/route_table.h"
#include "modules/status/status.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // Status pages (pages.cpp).
    NVRWEB_ROUTE("/8000", on_get_network_status),
    NVRWEB_ROUTE("/8001", on_get_network_traffic),
    NVRWEB_ROUTE("/8002", on_get_camera_status),
    NVRWEB_ROUTE("/8003", on_get_alarm_status),
    NVRWEB_ROUTE("/8004", on_status_noop),
    NVRWEB_ROUTE("/8008", on_get_storage_summary),
    NVRWEB_ROUTE("/8009", on_get_poe_support),
    NVRWEB_ROUTE("/8010", on_get_disk_channel_info),
    NVRWEB_ROUTE("/8011", on_cgi_get_online_user_status),
    // Packet capture (capture.cpp).
    NVRWEB_ROUTE("/8005", on_start_packet_capture),
    NVRWEB_ROUTE("/8006", on_stop_packet_capture),
    NVRWEB_ROUTE("/8007", on_download_packet_capture),
    // Diagnosis (diagnosis.cpp).
    NVRWEB_ROUTE("/6310", on_export_diagnosis),
    NVRWEB_ROUTE("/6311", on_download_diagnosis),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_STATUS, kRoutes)
