// In-process micro benchmarks: route lookup and the multipart parser.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "common/codecs.h"
#include "platform/device_path.h"
#include "frontend/cgi.h"
#include "frontend/route_table.h"

namespace {

void BM_RouteLookup(benchmark::State &state)
{
    // The last registered route is the longest scan; a miss scans all slots.
    const char *last = "/none";
    for (int slot = MAX_WEBREQ_COUNT - 1; slot >= 0; slot--)
        if (const WebRes *r = WebResSlot(slot)) {
            last = r->path;
            break;
        }
    const char *route = state.range(0) ? last : "/9999";
    for (auto _ : state) benchmark::DoNotOptimize(FindWebRes(route));
    state.SetLabel(std::to_string(WebResCount()) + " routes, " + (state.range(0) ? "last" : "miss"));
}
BENCHMARK(BM_RouteLookup)->Arg(1)->Arg(0);

// A multipart body with one small field and one file part of `size` bytes.
std::string body_file(size_t size)
{
    std::string path = "/tmp/nvrweb-bench-mp-" + std::to_string(size);
    if (access(path.c_str(), R_OK) == 0) return path;
    FILE *f = fopen(path.c_str(), "wb");
    fputs("--BENCHb0undary\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n"
          "--BENCHb0undary\r\nContent-Disposition: form-data; name=\"file\"; filename=\"fw.bin\"\r\n"
          "Content-Type: application/octet-stream\r\n\r\n", f);
    std::string chunk(1 << 16, '\0');
    for (size_t i = 0; i < chunk.size(); i++) chunk[i] = static_cast<char>((i * 131) ^ (i >> 7));
    for (size_t done = 0; done < size; done += chunk.size())
        fwrite(chunk.data(), 1, std::min(chunk.size(), size - done), f);
    fputs("\r\n--BENCHb0undary--\r\n", f);
    fclose(f);
    return path;
}

void BM_MultipartParse(benchmark::State &state)
{
    static std::string root = [] {
        char tmpl[] = "/tmp/nvrweb-bench-root-XXXXXX";
        std::string r = mkdtemp(tmpl);
        system(("mkdir -p " + r + "/tmp").c_str());
        setenv("NVRWEB_ROOT", r.c_str(), 1);
        nvr_root_reset_for_tests();
        return r;
    }();
    const size_t size = static_cast<size_t>(state.range(0));
    std::string path = body_file(size);
    static char boundary[] = "BENCHb0undary";
    for (auto _ : state) {
        FILE *in = fopen(path.c_str(), "rb");
        fseek(in, 0, SEEK_END);
        cgiContentLength = static_cast<int>(ftell(in));
        fseek(in, 0, SEEK_SET);
        cgiIn = in;
        cgiMultipartBoundary = boundary;
        if (cgiParseFormInput() != 0) state.SkipWithError("parse failed");
        cgiFreeResources();
        fclose(in);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_MultipartParse)->Arg(1 << 20)->Arg(50 << 20)->Unit(benchmark::kMillisecond);

// The week schedule codec both ways: a full week (8 days of 12 segments)
// from the page's JSON into the record, and from the record into the reply.
std::string week_request()
{
    std::string s = "{\"schedule\":[";
    for (int d = 0; d < 8; d++) {
        s += d ? ",[" : "[";
        for (int i = 0; i < 12; i++) {
            char seg[64];
            snprintf(seg, sizeof seg, "%s[\"%02d:00\",\"%02d:59\",%d]", i ? "," : "", i * 2, i * 2 + 1, i % 3);
            s += seg;
        }
        s += "]";
    }
    return s + "]}";
}

void BM_ScheduleFromJson(benchmark::State &state)
{
    std::string text = week_request();
    std::unique_ptr<WeekSchedule> s(new WeekSchedule());
    for (auto _ : state) {
        json_object *obj = json_tokener_parse(text.c_str());
        benchmark::DoNotOptimize(get_schedule_by_json(obj, "schedule", s.get()));
        json_object_put(obj);
    }
    state.SetLabel("parse + decode");
}
BENCHMARK(BM_ScheduleFromJson)->Unit(benchmark::kMicrosecond);

void BM_ScheduleToJson(benchmark::State &state)
{
    std::string text = week_request();
    std::unique_ptr<WeekSchedule> s(new WeekSchedule());
    json_object *obj = json_tokener_parse(text.c_str());
    get_schedule_by_json(obj, "schedule", s.get());
    json_object_put(obj);
    for (auto _ : state) {
        json_object *reply = get_schedule_json_object(s.get());
        benchmark::DoNotOptimize(json_object_to_json_string_ext(reply, JSON_C_TO_STRING_PLAIN));
        json_object_put(reply);
    }
    state.SetLabel("encode + serialise");
}
BENCHMARK(BM_ScheduleToJson)->Unit(benchmark::kMicrosecond);

} // namespace


