// Fixture of the plate recognition and OSD route tests: the route fixture
// with a table walker (request -> reply, daemon traffic, then checks) and
// JSON reply access.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include <json-c/json.h>

#include "tests/support/route_fixture.h"

class LprOsdTest : public RouteTest {
protected:
    struct Row {
        const char *what;
        const char *route;
        std::string body;
        std::string reply;      // the reply body, "" for none
        std::vector<int> codes; // the daemon traffic, in order
        std::function<void(const std::vector<FakeRequest> &)> check = nullptr;
    };

    void walk(const std::vector<Row> &rows)
    {
        traffic(); // what came before the table
        for (const Row &row : rows) {
            SCOPED_TRACE(row.what);
            ProcResult r = post(row.route, row.body);
            EXPECT_EQ(row.reply, reply_of(r)) << row.route << " " << row.body;
            auto req = traffic();
            EXPECT_EQ(row.codes, codes_of(req));
            if (row.check && req.size() == row.codes.size()) row.check(req);
        }
    }

    // A parsed JSON reply, owned by the fixture.
    json_object *json(const std::string &text)
    {
        json_object *o = json_tokener_parse(text.c_str());
        if (o) parsed_.push_back(o);
        return o;
    }
    static json_object *at(json_object *o, const char *key)
    {
        json_object *v = nullptr;
        return o && json_object_object_get_ex(o, key, &v) ? v : nullptr;
    }
    static int int_at(json_object *o, const char *key) { return json_object_get_int(at(o, key)); }
    static std::string str_at(json_object *o, const char *key)
    {
        const char *s = json_object_get_string(at(o, key));
        return s ? s : "";
    }
    // The keys of an object, in order.
    static std::vector<std::string> keys_of(json_object *o)
    {
        std::vector<std::string> out;
        if (!o || !json_object_is_type(o, json_type_object)) return out;
        json_object_object_foreach(o, k, v)
        {
            (void)v;
            out.push_back(k);
        }
        return out;
    }

    ~LprOsdTest() override
    {
        for (json_object *o : parsed_) json_object_put(o);
    }

private:
    std::vector<json_object *> parsed_;
};
