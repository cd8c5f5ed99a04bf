#include "frontend/route_access.h"

#include <cstring>

namespace {

const char kLogin[] = "log-in";
const char kAccounts[] = "accounts";
const char kFirmware[] = "firmware";
const char kMaintenance[] = "maintenance";
const char kFactory[] = "factory settings";

const RouteAccessEntry kRouteAccess[] = {
    // Before a session exists, and to end one.
    {"/1000", ROUTE_PUBLIC, kLogin},  // log-in
    {"/1018", ROUTE_PUBLIC, kLogin},  // log-in through a mailed link
    {"/1014", ROUTE_PUBLIC, kLogin},  // log-out
    {"/json", ROUTE_PUBLIC, kLogin},  // language texts of the pages, the log-in page's too

    // User accounts: the list carries the password digests.
    {"/6070", ROUTE_ADMIN, kAccounts}, // list
    {"/6071", ROUTE_ADMIN, kAccounts}, // add
    {"/6072", ROUTE_ADMIN, kAccounts}, // change
    {"/6073", ROUTE_ADMIN, kAccounts}, // delete
    {"/6074", ROUTE_ADMIN, kAccounts}, // OEM accounts
    {"/6075", ROUTE_ADMIN, kAccounts}, // password of the PoE cameras
    {"/6076", ROUTE_ADMIN, kAccounts}, // the same, notice only
    {"/6077", ROUTE_ADMIN, kAccounts}, // accounts changed

    // Firmware of the recorder and of the cameras, OEM package.
    {"/1034", ROUTE_ADMIN, kFirmware}, // prepare an upgrade
    {"/1010", ROUTE_ADMIN, kFirmware}, // upgrade from the uploaded file
    {"/1011", ROUTE_ADMIN, kFirmware}, // clean staged files
    {"/1019", ROUTE_ADMIN, kFirmware}, // keep an uploaded file
    {"/6082", ROUTE_ADMIN, kFirmware}, // camera firmware staged
    {"/6083", ROUTE_ADMIN, kFirmware}, // upgrade a camera
    {"/6084", ROUTE_ADMIN, kFirmware}, // stop a camera upgrade
    {"/6085", ROUTE_ADMIN, kFirmware}, // download a firmware
    {"/6086", ROUTE_ADMIN, kFirmware}, // discard a download
    {"/6087", ROUTE_ADMIN, kFirmware}, // look for a newer firmware
    {"/6088", ROUTE_ADMIN, kFirmware}, // upgrade from the download
    {"/6089", ROUTE_ADMIN, kFirmware}, // look for newer camera firmware
    {"/2078", ROUTE_ADMIN, kFirmware}, // prepare a camera upgrade
    {"/2079", ROUTE_ADMIN, kFirmware}, // camera firmware upload and its status
    {"/2080", ROUTE_ADMIN, kFirmware}, // upgrade cameras
    {"/2081", ROUTE_ADMIN, kFirmware}, // stop it
    {"/oem", ROUTE_ADMIN, kFirmware},  // OEM package
    {"/dw.cgi", ROUTE_ADMIN, kFirmware},

    // Maintenance: restart, configuration file, retention, weekly restart,
    // service access, packet capture and diagnosis export.
    {"/1004", ROUTE_ADMIN, kMaintenance}, // restart
    {"/1007", ROUTE_ADMIN, kMaintenance}, // export the configuration
    {"/1013", ROUTE_ADMIN, kMaintenance}, // download it
    {"/1008", ROUTE_ADMIN, kMaintenance}, // import one
    {"/1017", ROUTE_ADMIN, kMaintenance}, // log and picture retention
    {"/1033", ROUTE_ADMIN, kMaintenance}, // weekly restart
    {"/1023", ROUTE_ADMIN, kMaintenance}, // database upgrade flag
    {"/3300", ROUTE_ADMIN, kMaintenance}, // SSH access
    {"/8005", ROUTE_ADMIN, kMaintenance}, // packet capture: start (the traffic of every client)
    {"/8006", ROUTE_ADMIN, kMaintenance}, // stop it
    {"/8007", ROUTE_ADMIN, kMaintenance}, // download the capture
    {"/6310", ROUTE_ADMIN, kMaintenance}, // diagnosis export
    {"/6311", ROUTE_ADMIN, kMaintenance}, // its download

    // Factory settings: reset, service commands, factory camera set-up.
    {"/1006", ROUTE_ADMIN, kFactory},   // factory reset
    {"/vb.htm", ROUTE_ADMIN, kFactory}, // service and factory commands
    {"/ipc", ROUTE_ADMIN, kFactory},    // camera addresses in bulk
};

} // namespace

RouteAccess route_access(const char *route)
{
    if (!route) return ROUTE_SESSION;
    for (const RouteAccessEntry &e : kRouteAccess)
        if (strcmp(e.route, route) == 0) return e.access;
    return ROUTE_SESSION;
}

const RouteAccessEntry *route_access_table(int *count)
{
    if (count) *count = static_cast<int>(sizeof kRouteAccess / sizeof kRouteAccess[0]);
    return kRouteAccess;
}
