// Who may use a route once sessions are checked: one table beside the route
// table. A route it does not list needs a session of any level; the table
// names the few routes that need none and those that need an administrator
// (level 0). It is keyed by route code, so a module's routes are classified
// whether or not (and wherever) they are registered.
#pragma once

enum RouteAccess {
    ROUTE_SESSION, // a valid session of any level (every route not listed)
    ROUTE_PUBLIC,  // no session: log-in, log-out, language texts
    ROUTE_ADMIN,   // a valid session of level 0
};

struct RouteAccessEntry {
    const char *route;
    RouteAccess access;
    const char *group; // what the route belongs to, for people and tests
};

RouteAccess route_access(const char *route);

// The table itself, for tests.
const RouteAccessEntry *route_access_table(int *count);
