// The route catalogue: built from the live route table, the route lists'
// declarations and the handlers' key tables, printed by nvrweb.cgi.
#include <gtest/gtest.h>

#include <json-c/json.h>

#include <cstring>
#include <set>
#include <string>

#include "frontend/route_catalogue.h"
#include "support/harness.h"

namespace {
int undeclared(char *) { return 0; }

std::string key_list(const CatalogueRoute &r)
{
    std::string text;
    for (int i = 0; i < r.key_count; i++)
        text += std::string(text.empty() ? "" : " ") + r.keys[i].key + ":" + json_kind_name(r.keys[i].kind);
    return text;
}

const CatalogueRoute *find_route(const std::vector<CatalogueRoute> &routes, const char *route)
{
    for (const CatalogueRoute &r : routes)
        if (strcmp(r.route, route) == 0) return &r;
    return nullptr;
}

// Every registered slot is in the catalogue, in slot order, with the module
// and handler name of the declaration it came from; and every declaration of
// every route list is registered. A route added to the table without a
// declaration (or a declaration that does not match its slot) fails here.
TEST(RouteCatalogue, EveryRegisteredRouteIsCatalogued)
{
    const std::vector<CatalogueRoute> routes = route_catalogue();
    ASSERT_EQ(static_cast<size_t>(WebResCount()), routes.size());
    size_t next = 0;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++) {
        const WebRes *res = WebResSlot(slot);
        if (!res) continue;
        ASSERT_LT(next, routes.size());
        const CatalogueRoute &r = routes[next++];
        EXPECT_STREQ(res->path, r.route);
        EXPECT_STRNE("", r.module) << r.route;
        EXPECT_STRNE("", r.handler) << r.route;
    }
    int modules = 0, declared = 0;
    const RouteModuleDecl *decls = route_module_decls(&modules);
    EXPECT_GE(modules, 11); // one list per module, the video module has four
    std::set<std::string> paths; // distinct across all lists (start-up copies the lists in unchecked)
    for (int m = 0; m < modules; m++) {
        EXPECT_STRNE("", route_module_name(decls[m].order));
        for (int i = 0; i < decls[m].count; i++, declared++) {
            EXPECT_NE(nullptr, FindWebRes(decls[m].decls[i].path)) << decls[m].decls[i].path;
            EXPECT_TRUE(paths.insert(decls[m].decls[i].path).second) << decls[m].decls[i].path;
            EXPECT_STREQ(decls[m].decls[i].path, decls[m].entries[i].path);
        }
    }
    EXPECT_EQ(WebResCount(), declared);

    // A route registered without a declaration has no module or handler:
    // what the checks above catch.
    const WebRes raw = {"/zz", undeclared};
    ASSERT_EQ(0, WebResRegister(&raw, 1));
    const std::vector<CatalogueRoute> with_raw = route_catalogue();
    const CatalogueRoute *r = find_route(with_raw, "/zz");
    ASSERT_NE(nullptr, r);
    EXPECT_STREQ("", r->module);
    EXPECT_STREQ("", r->handler);
    WebResUnregister(&raw, 1);
}

// Each key table is tied once, to a handler that a route list names, and
// holds named keys.
TEST(RouteCatalogue, KeyTablesBelongToRoutedHandlers)
{
    std::set<WebReqHandler> routed;
    for (int slot = 0; slot < MAX_WEBREQ_COUNT; slot++)
        if (const WebRes *res = WebResSlot(slot)) routed.insert(res->handler);
    int count = 0;
    const HandlerKeys *ties = handler_key_tables(&count);
    EXPECT_GT(count, 150);
    std::set<WebReqHandler> tied;
    for (int i = 0; i < count; i++) {
        EXPECT_TRUE(routed.count(ties[i].handler)) << "tie " << i << " (" << ties[i].keys[0].key << ")";
        EXPECT_TRUE(tied.insert(ties[i].handler).second) << "handler tied twice, tie " << i;
        ASSERT_GT(ties[i].count, 0);
        for (int k = 0; k < ties[i].count; k++) EXPECT_TRUE(ties[i].keys[k].key && ties[i].keys[k].key[0]);
    }
}

TEST(RouteCatalogue, Rows)
{
    struct Row {
        const char *route, *module, *handler, *access;
        bool upload;
        const char *keys; // "key:type ..."; "" for no key table
    } const rows[] = {
        {"/1000", "system", "on_user_login", "public", false, "userName:string md5:string"},
        {"/1004", "system", "on_restart_device", "admin", false, ""},
        {"/1008", "system", "on_import_config", "admin", true, ""},
        {"/6321", "system", "on_upload_audio_file", "session", true, ""},
        {"/1033", "system", "on_set_auto_reboot", "admin", false,
         "enable:int wday:int hour:int minutes:int seconds:int"},
        {"/6054", "ptz", "on_set_ptz_speed", "session", false,
         "camId:int panSpeed:int tiltSpeed:int zoomSpeed:int focusSpeed:int"},
        {"/8005", "status", "on_start_packet_capture", "admin", false, "ip:string port:any nic:string mntPath:string"},
        {"/3300", "quick", "on_set_ssh_enable", "admin", false, ""},
        {"/7084", "network", "on_install_cert", "session", true, ""},
        // Two routes, one handler.
        {"/1009", "system", "on_get_system_info", "session", false, ""},
        {"/1020", "system", "on_get_system_info", "session", false, ""},
    };
    const std::vector<CatalogueRoute> routes = route_catalogue();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.route);
        const CatalogueRoute *r = find_route(routes, row.route);
        ASSERT_NE(nullptr, r);
        EXPECT_STREQ(row.module, r->module);
        EXPECT_STREQ(row.handler, r->handler);
        EXPECT_STREQ(row.access, r->access);
        EXPECT_EQ(row.upload, r->upload);
        EXPECT_EQ(row.keys, key_list(*r));
        EXPECT_EQ(row.keys[0] != '\0', r->keys != nullptr);
    }
}

// The program prints the catalogue only when run by hand with one of the two
// options; under the web server (GATEWAY_INTERFACE set) the same arguments
// are an ordinary request.
TEST(RouteCatalogue, ProgramOutput)
{
    const std::vector<CatalogueRoute> routes = route_catalogue();
    const std::string cgi = program_path("nvrweb.cgi");
    const std::map<std::string, std::string> none, cgi_env = {
        {"GATEWAY_INTERFACE", "CGI/1.1"}, {"REQUEST_METHOD", "GET"}, {"PATH_INFO", "/nope"}};
    struct Case {
        const char *arg;
        bool as_cgi;
        const char *expect; // "json", "html" or "cgi"
    } const cases[] = {
        {"--routes", false, "json"},
        {"--routes-html", false, "html"},
        {"--routes", true, "cgi"},
        {"--routes-html", true, "cgi"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.arg) + (c.as_cgi ? " as a request" : ""));
        DeviceRoot root;
        std::map<std::string, std::string> env = c.as_cgi ? cgi_env : none;
        env["NVRWEB_ROOT"] = root.path();
        const ProcResult p = run_program({cgi, c.arg}, env, "");
        if (strcmp(c.expect, "cgi") == 0) {
            EXPECT_NE(std::string::npos, p.out.find("Status: 404")) << p.out.substr(0, 200);
            continue;
        }
        ASSERT_EQ(0, p.status) << p.err;
        if (strcmp(c.expect, "json") == 0) {
            json_object *doc = json_tokener_parse(p.out.c_str());
            ASSERT_NE(nullptr, doc);
            json_object *list = nullptr;
            ASSERT_TRUE(json_object_object_get_ex(doc, "routes", &list));
            ASSERT_TRUE(json_object_is_type(list, json_type_array));
            // The process's table is the one this test binary holds.
            ASSERT_EQ(routes.size(), json_object_array_length(list));
            for (size_t i = 0; i < routes.size(); i++) {
                json_object *o = json_object_array_get_idx(list, i), *v = nullptr;
                EXPECT_TRUE(json_object_object_get_ex(o, "route", &v) &&
                            routes[i].route == std::string(json_object_get_string(v)));
                EXPECT_TRUE(json_object_object_get_ex(o, "handler", &v) &&
                            routes[i].handler == std::string(json_object_get_string(v)));
                EXPECT_EQ(routes[i].keys != nullptr, json_object_object_get_ex(o, "keys", nullptr));
            }
            const size_t login = static_cast<size_t>(find_route(routes, "/1000") - routes.data());
            EXPECT_EQ("{\"route\":\"/1000\",\"module\":\"system\",\"handler\":\"on_user_login\","
                      "\"access\":\"public\",\"upload\":false,\"keys\":[{\"key\":\"userName\",\"type\":"
                      "\"string\"},{\"key\":\"md5\",\"type\":\"string\"}]}",
                      std::string(json_object_to_json_string_ext(json_object_array_get_idx(list, login),
                                                                 JSON_C_TO_STRING_NOSLASHESCAPE)));
            json_object_put(doc);
        } else {
            EXPECT_EQ(0u, p.out.find("<!DOCTYPE html>"));
            for (const CatalogueRoute &r : routes) {
                EXPECT_NE(std::string::npos, p.out.find("<code>" + std::string(r.route) + "</code>")) << r.route;
                EXPECT_NE(std::string::npos, p.out.find("<code>" + std::string(r.handler) + "</code>")) << r.handler;
            }
        }
    }
}
} // namespace
