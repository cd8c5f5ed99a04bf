// Route list of the network module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_NETWORK, kRoutes).
#include "frontend/route_table.h"
#include "frontend/upload_routes.h"
#include "modules/network/network.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    // interfaces and addressing
    {"/7040", NVRWEB_HANDLER(on_get_network_info)},
    {"/7041", NVRWEB_HANDLER(on_set_network_info)},
    {"/7042", NVRWEB_HANDLER(on_get_network_mode)},
    {"/7043", NVRWEB_HANDLER(on_restart_network)},
    {"/7044", NVRWEB_HANDLER(on_get_mac0)},
    {"/7070", NVRWEB_HANDLER(on_ip_conflict)},
    {"/7071", NVRWEB_HANDLER(on_ip_conflict_by_dev)},
    {"/7096", NVRWEB_HANDLER(on_cgi_set_default_route)},
    // time
    {"/7000", NVRWEB_HANDLER(on_get_time_info)},
    {"/7001", NVRWEB_HANDLER(on_set_time_info)},
    // PPPoE and DDNS
    {"/7010", NVRWEB_HANDLER(on_get_pppoe_info)},
    {"/7011", NVRWEB_HANDLER(on_set_pppoe_info)},
    {"/7020", NVRWEB_HANDLER(on_get_ddns_info)},
    {"/7021", NVRWEB_HANDLER(on_set_ddns_info)},
    {"/7094", NVRWEB_HANDLER(on_get_ddns_status)},
    // mail
    {"/7030", NVRWEB_HANDLER(on_get_email_info)},
    {"/7031", NVRWEB_HANDLER(on_set_email_info)},
    {"/7032", NVRWEB_HANDLER(on_test_email)},
    // ports, push messages, PoE, UPnP
    {"/7050", NVRWEB_HANDLER(on_get_port_info)},
    {"/7051", NVRWEB_HANDLER(on_set_port_info)},
    {"/7093", NVRWEB_HANDLER(on_get_poe_max)},
    {"/1030", NVRWEB_HANDLER(on_get_upnp_info)},
    {"/1031", NVRWEB_HANDLER(on_set_upnp_info)},
    // cloud service
    {"/7060", NVRWEB_HANDLER(on_get_p2p_info)},
    {"/7061", NVRWEB_HANDLER(on_set_p2p_info)},
    {"/7062", NVRWEB_HANDLER(on_test_p2p)},
    {"/7095", NVRWEB_HANDLER(on_cgi_p2p_unbind_device)},
    // HTTPS certificates
    {"/7080", NVRWEB_HANDLER(on_create_https_cert)},
    {"/7081", NVRWEB_HANDLER(on_get_cert_info)},
    {"/7089", NVRWEB_HANDLER(on_get_cert_req_info)},
    {"/7082", NVRWEB_HANDLER(on_download_cert_req)},
    {"/7083", NVRWEB_HANDLER(on_delete_cert_req)},
    {"/7084", NVRWEB_HANDLER(on_install_cert)},
    {"/7085", NVRWEB_HANDLER(on_delete_cert)},
    {"/7086", NVRWEB_HANDLER(on_set_https_enable)},
    {"/7087", NVRWEB_HANDLER(on_get_https_enable)},
    // SNMP, address filter, multicast, channel access
    {"/7090", NVRWEB_HANDLER(on_get_snmp_info)},
    {"/7091", NVRWEB_HANDLER(on_set_snmp_info)},
    {"/6300", NVRWEB_HANDLER(on_get_access_filter)},
    {"/6301", NVRWEB_HANDLER(on_set_access_filter)},
    {"/7033", NVRWEB_HANDLER(on_cgi_get_multicast)},
    {"/7034", NVRWEB_HANDLER(on_cgi_set_multicast)},
    {"/7092", NVRWEB_HANDLER(on_get_access_info)},
};
// The signed certificate comes as an upload kept under its name in /tmp.
const UploadRoute kUploads[] = {{"/7084", UPLOAD_STORED}};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_NETWORK, kRoutes)
NVRWEB_MODULE_UPLOADS(kUploads)
