// Route list of the network module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_NETWORK, kRoutes).
#include "frontend/route_table.h"
#include "frontend/upload_routes.h"
#include "modules/network/network.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // interfaces and addressing
    NVRWEB_ROUTE("/7040", on_get_network_info),
    NVRWEB_ROUTE("/7041", on_set_network_info),
    NVRWEB_ROUTE("/7042", on_get_network_mode),
    NVRWEB_ROUTE("/7043", on_restart_network),
    NVRWEB_ROUTE("/7044", on_get_mac0),
    NVRWEB_ROUTE("/7070", on_ip_conflict),
    NVRWEB_ROUTE("/7071", on_ip_conflict_by_dev),
    NVRWEB_ROUTE("/7096", on_cgi_set_default_route),
    // time
    NVRWEB_ROUTE("/7000", on_get_time_info),
    NVRWEB_ROUTE("/7001", on_set_time_info),
    // PPPoE and DDNS
    NVRWEB_ROUTE("/7010", on_get_pppoe_info),
    NVRWEB_ROUTE("/7011", on_set_pppoe_info),
    NVRWEB_ROUTE("/7020", on_get_ddns_info),
    NVRWEB_ROUTE("/7021", on_set_ddns_info),
    NVRWEB_ROUTE("/7094", on_get_ddns_status),
    // mail
    NVRWEB_ROUTE("/7030", on_get_email_info),
    NVRWEB_ROUTE("/7031", on_set_email_info),
    NVRWEB_ROUTE("/7032", on_test_email),
    // ports, push messages, PoE, UPnP
    NVRWEB_ROUTE("/7050", on_get_port_info),
    NVRWEB_ROUTE("/7051", on_set_port_info),
    NVRWEB_ROUTE("/7093", on_get_poe_max),
    NVRWEB_ROUTE("/1030", on_get_upnp_info),
    NVRWEB_ROUTE("/1031", on_set_upnp_info),
    // cloud service
    NVRWEB_ROUTE("/7060", on_get_p2p_info),
    NVRWEB_ROUTE("/7061", on_set_p2p_info),
    NVRWEB_ROUTE("/7062", on_test_p2p),
    NVRWEB_ROUTE("/7095", on_cgi_p2p_unbind_device),
    // HTTPS certificates
    NVRWEB_ROUTE("/7080", on_create_https_cert),
    NVRWEB_ROUTE("/7081", on_get_cert_info),
    NVRWEB_ROUTE("/7089", on_get_cert_req_info),
    NVRWEB_ROUTE("/7082", on_download_cert_req),
    NVRWEB_ROUTE("/7083", on_delete_cert_req),
    NVRWEB_ROUTE("/7084", on_install_cert),
    NVRWEB_ROUTE("/7085", on_delete_cert),
    NVRWEB_ROUTE("/7086", on_set_https_enable),
    NVRWEB_ROUTE("/7087", on_get_https_enable),
    // SNMP, address filter, multicast, channel access
    NVRWEB_ROUTE("/7090", on_get_snmp_info),
    NVRWEB_ROUTE("/7091", on_set_snmp_info),
    NVRWEB_ROUTE("/6300", on_get_access_filter),
    NVRWEB_ROUTE("/6301", on_set_access_filter),
    NVRWEB_ROUTE("/7033", on_cgi_get_multicast),
    NVRWEB_ROUTE("/7034", on_cgi_set_multicast),
    NVRWEB_ROUTE("/7092", on_get_access_info),
};
// The signed certificate comes as an upload kept under its name in /tmp.
const UploadRoute kUploads[] = {{"/7084", UPLOAD_STORED}};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_NETWORK, kRoutes)
NVRWEB_MODULE_UPLOADS(kUploads)
