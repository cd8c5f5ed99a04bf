#include <cstdlib>

#include "frontend/cgi.h"
#include "frontend/route_catalogue.h"

int main(int argc, char **argv)
{
    // Run by hand (not by the web server): "--routes" / "--routes-html" print
    // the route catalogue.
    if (argc > 1 && !getenv("GATEWAY_INTERFACE")) {
        int status = route_catalogue_main(argc, argv);
        if (status >= 0) return status;
    }
    return cgi_main();
}
