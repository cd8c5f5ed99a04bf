// Route catalogue: every registered route with its module, handler name,
// access level, upload flag and the request keys its handler declares.
// Built from the live route table joined with the route lists' declarations
// and the handlers' key tables (sections nvrweb_routes and nvrweb_keys), so
// it never needs a hand-kept copy. Printed on the command line only:
//   nvrweb.cgi --routes        JSON
//   nvrweb.cgi --routes-html   one reference page
#pragma once
#include <string>
#include <vector>

#include "common/web_utils.h"
#include "frontend/route_table.h"

struct CatalogueRoute {
    char route[sizeof(WebRes::path)];
    const char *module;  // "system", ...; "" when the route has no declaration
    const char *handler; // the handler's name; "" when the route has no declaration
    const char *access;  // "public", "session" or "admin"
    bool upload;
    const JsonPolicy *keys; // nullptr when the handler declares no key table
    int key_count;
};

// The routes in slot order.
std::vector<CatalogueRoute> route_catalogue();
std::string route_catalogue_json();
std::string route_catalogue_html();

// Every key table tie of the program (nullptr and 0 when there is none).
const HandlerKeys *handler_key_tables(int *count);
// The name of a module order ("" when out of range) and of a key type.
const char *route_module_name(int order);
const char *json_kind_name(JsonKind kind);

// The command-line entry: prints the catalogue for "--routes" or
// "--routes-html" and returns the exit status; returns -1 for anything else
// (the program then goes on as a CGI request).
int route_catalogue_main(int argc, char **argv);
