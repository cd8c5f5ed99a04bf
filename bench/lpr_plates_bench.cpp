// Plate lists: a list of 10,000 entries imported through the add handler
// (request text parsed, plates decoded, one batch written to the plate-list
// file) and every plate read back by its key.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "common/records/lpr.h"
#include "modules/video/lpr_osd.h"
#include "platform/device_path.h"

namespace {
enum { PLATES = 10000 };

void use_bench_root()
{
    static const std::string root = [] {
        char tmpl[] = "/tmp/nvrweb-bench-lpr-XXXXXX";
        std::string r = mkdtemp(tmpl) ? tmpl : "/tmp";
        system(("mkdir -p " + r + "/tmp " + r + "/mnt/nand/app").c_str());
        return r;
    }();
    setenv("NVRWEB_ROOT", root.c_str(), 1);
    nvr_root_reset_for_tests();
}

std::string plate(int i)
{
    char p[16];
    snprintf(p, sizeof p, "PL %05d", i);
    return p;
}

// {"cnt":10000,"plate":[["black","PL%2000000"],...]}
std::string import_request()
{
    std::string req = "{\"cnt\":" + std::to_string(PLATES) + ",\"plate\":[";
    for (int i = 0; i < PLATES; i++) {
        std::string p = plate(i);
        p.replace(2, 1, "%20");
        req += std::string(i ? "," : "") + "[\"" + (i % 2 ? "white" : "black") + "\",\"" + p + "\"]";
    }
    return req + "]}";
}

// Runs a handler with its reply sent to /dev/null.
void quietly(int (*handler)(char *), std::string text)
{
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    handler(&text[0]);
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(null);
    close(saved);
}

void BM_PlateListImport10k(benchmark::State &state)
{
    use_bench_root();
    const std::string req = import_request();
    for (auto _ : state) quietly(on_set_anpr_add_lpr_plate, req);
    if (count_anpr_lists(QXDB_ANPR_PATH) != PLATES) state.SkipWithError("plates missing after the import");
    state.SetLabel(std::to_string(req.size() / 1024) + " KiB request");
}
BENCHMARK(BM_PlateListImport10k)->Unit(benchmark::kMillisecond);

void BM_PlateListReadBack10k(benchmark::State &state)
{
    use_bench_root();
    quietly(on_set_anpr_add_lpr_plate, import_request());
    for (auto _ : state) {
        int found = 0;
        for (int i = 0; i < PLATES; i++) {
            AnprListEntry e{};
            found += read_anpr_list_plate(QXDB_ANPR_PATH, plate(i).c_str(), &e) == 0;
        }
        if (found != PLATES) state.SkipWithError("a plate did not read back");
    }
}
BENCHMARK(BM_PlateListReadBack10k)->Unit(benchmark::kMillisecond);
} // namespace
