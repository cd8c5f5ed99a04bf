#include "frontend/route_catalogue.h"

#include <cstdio>
#include <cstring>

#include <json-c/json.h>

#include "frontend/route_access.h"
#include "frontend/upload_routes.h"

// Bounds of the section of the key table ties (weak: null in a program
// without any).
extern "C" {
extern const HandlerKeys __start_nvrweb_keys[] __attribute__((weak));
extern const HandlerKeys __stop_nvrweb_keys[] __attribute__((weak));
}

const HandlerKeys *handler_key_tables(int *count)
{
    return section_entries(__start_nvrweb_keys, __stop_nvrweb_keys, count);
}

const char *route_module_name(int order)
{
    static const char *const kNames[] = {"",        "quick",  "alarm",   "camera",   "network", "ptz",
                                         "record",  "status", "storage", "playback", "system",  "video"};
    return order > 0 && order < static_cast<int>(sizeof kNames / sizeof kNames[0]) ? kNames[order] : "";
}

const char *json_kind_name(JsonKind kind)
{
    switch (kind) {
    case JK_INT: return "int";
    case JK_STRING: return "string";
    case JK_BOOL: return "bool";
    case JK_ARRAY: return "array";
    case JK_OBJECT: return "object";
    case JK_DOUBLE: return "double";
    case JK_ANY: break;
    }
    return "any";
}

namespace {
const char *access_name(RouteAccess access)
{
    switch (access) {
    case ROUTE_PUBLIC: return "public";
    case ROUTE_ADMIN: return "admin";
    case ROUTE_SESSION: break;
    }
    return "session";
}

// The declaration that registered this slot: same path and same handler.
const RouteDecl *find_decl(const WebRes &res, int *order)
{
    int modules = 0;
    const RouteModuleDecl *mods = route_module_decls(&modules);
    for (int m = 0; m < modules; m++)
        for (int i = 0; i < mods[m].count; i++) {
            const RouteDecl &d = mods[m].decls[i];
            if (d.handler == res.handler && strncmp(d.path, res.path, sizeof res.path) == 0) {
                *order = mods[m].order;
                return &d;
            }
        }
    return nullptr;
}

const HandlerKeys *find_keys(WebReqHandler handler)
{
    int count = 0;
    const HandlerKeys *ties = handler_key_tables(&count);
    for (int i = 0; i < count; i++)
        if (ties[i].handler == handler) return &ties[i];
    return nullptr;
}

void html_text(std::string &out, const char *text)
{
    for (const char *p = text; *p; p++) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += *p;
        }
    }
}

// A module's name as the page shows it, written between two texts, e.g.
// <a href="#m-video">video</a>.
void module_anchor(std::string &out, const std::string &module, const char *open, const char *close)
{
    const char *name = module.empty() ? "other" : module.c_str();
    out += open;
    html_text(out, name);
    out += "\">";
    html_text(out, name);
    out += close;
}

const char kPageHead[] = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>nvrweb routes</title>
<style>
body{font:14px/1.4 system-ui,sans-serif;margin:2em auto;max-width:70em;padding:0 1em;color:#222}
h1{font-size:1.6em}h2{margin-top:2em;border-bottom:2px solid #ccc;padding-bottom:.2em}
nav a{margin-right:1em}
table{border-collapse:collapse;width:100%}
th,td{text-align:left;vertical-align:top;padding:.3em .6em;border-bottom:1px solid #e4e4e4}
th{background:#f3f3f3}
code{font:13px ui-monospace,monospace}
.public{color:#06783a}.admin{color:#a3261b}.session{color:#555}
.keys span{display:inline-block;margin:0 .8em .2em 0}.type{color:#777}
</style></head><body>
)";
} // namespace

std::vector<CatalogueRoute> route_catalogue()
{
    std::vector<CatalogueRoute> routes;
    const int used = WebResCount();
    for (int slot = 0, found = 0; slot < MAX_WEBREQ_COUNT && found < used; slot++) {
        const WebRes *res = WebResSlot(slot);
        if (!res) continue;
        found++;
        CatalogueRoute r{};
        memcpy(r.route, res->path, sizeof r.route);
        r.route[sizeof r.route - 1] = '\0';
        int order = 0;
        const RouteDecl *decl = find_decl(*res, &order);
        r.module = decl ? route_module_name(order) : "";
        r.handler = decl ? decl->name : "";
        r.access = access_name(route_access(r.route));
        r.upload = upload_kind(r.route) != UPLOAD_NONE;
        if (const HandlerKeys *keys = find_keys(res->handler)) {
            r.keys = keys->keys;
            r.key_count = keys->count;
        }
        routes.push_back(r);
    }
    return routes;
}

std::string route_catalogue_json()
{
    json_object *root = json_object_new_object();
    json_object *list = json_object_new_array();
    for (const CatalogueRoute &r : route_catalogue()) {
        json_object *o = json_object_new_object();
        json_object_object_add(o, "route", json_object_new_string(r.route));
        json_object_object_add(o, "module", json_object_new_string(r.module));
        json_object_object_add(o, "handler", json_object_new_string(r.handler));
        json_object_object_add(o, "access", json_object_new_string(r.access));
        json_object_object_add(o, "upload", json_object_new_boolean(r.upload));
        if (r.keys) {
            json_object *keys = json_object_new_array();
            for (int i = 0; i < r.key_count; i++) {
                json_object *k = json_object_new_object();
                json_object_object_add(k, "key", json_object_new_string(r.keys[i].key));
                json_object_object_add(k, "type", json_object_new_string(json_kind_name(r.keys[i].kind)));
                json_object_array_add(keys, k);
            }
            json_object_object_add(o, "keys", keys);
        }
        json_object_array_add(list, o);
    }
    json_object_object_add(root, "routes", list);
    std::string text = json_object_to_json_string_ext(root, JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_NOSLASHESCAPE);
    text += '\n';
    json_object_put(root);
    return text;
}

std::string route_catalogue_html()
{
    const std::vector<CatalogueRoute> routes = route_catalogue();
    std::vector<std::string> modules; // in order of first appearance
    for (const CatalogueRoute &r : routes) {
        bool seen = false;
        for (const std::string &m : modules) seen = seen || m == r.module;
        if (!seen) modules.push_back(r.module);
    }
    std::string out = kPageHead;
    out += "<h1>nvrweb routes</h1>\n<p>" + std::to_string(routes.size()) +
           " routes. The request keys are those the handler reads from a JSON request, with their types; "
           "routes without keys take no JSON object or read it in their own way.</p>\n<nav>";
    for (const std::string &m : modules) module_anchor(out, m, "<a href=\"#m-", "</a>");
    out += "</nav>\n";
    for (const std::string &m : modules) {
        module_anchor(out, m, "<h2 id=\"m-", "</h2>\n");
        out += "<table><tr><th>Route</th><th>Handler</th><th>Access</th><th>Upload</th><th>Keys</th></tr>\n";
        for (const CatalogueRoute &r : routes) {
            if (m != r.module) continue;
            out += "<tr><td><code>";
            html_text(out, r.route);
            out += "</code></td><td><code>";
            html_text(out, r.handler);
            out += "</code></td><td class=\"";
            out += r.access;
            out += "\">";
            out += r.access;
            out += "</td><td>";
            out += r.upload ? "file" : "";
            out += "</td><td class=\"keys\">";
            for (int i = 0; i < r.key_count; i++) {
                out += "<span><code>";
                html_text(out, r.keys[i].key);
                out += "</code> <span class=\"type\">";
                out += json_kind_name(r.keys[i].kind);
                out += "</span></span>";
            }
            out += "</td></tr>\n";
        }
        out += "</table>\n";
    }
    out += "</body></html>\n";
    return out;
}

int route_catalogue_main(int argc, char **argv)
{
    if (argc != 2) return -1;
    std::string text;
    if (strcmp(argv[1], "--routes") == 0) text = route_catalogue_json();
    else if (strcmp(argv[1], "--routes-html") == 0) text = route_catalogue_html();
    else return -1;
    return fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0 ? 0 : 1;
}
