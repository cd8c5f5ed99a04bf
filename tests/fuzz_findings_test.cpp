// Faults the fuzz targets and the abuse suite found in the shared services
// and the modules, kept as regressions.
#include <gtest/gtest.h>

#include "tests/support/fake_daemon.h"
#include "tests/support/harness.h"

namespace {

int reply_headers(const std::string &out)
{
    int n = 0;
    for (size_t p = 0; (p = out.find("Content-type:", p)) != std::string::npos; p++) n++;
    return n;
}

// A daemon may answer one request several times; a waiting handler must
// still write one reply body.
TEST(FuzzFindings, TwoDaemonRepliesGiveOneReplyBody)
{
    DeviceRoot root;
    FakeDaemon daemon(root);
    daemon.on(3265).reply_int(0).reply_int(-1); // PoE camera password (/6075)
    ProcResult r = post_json(root, "/6075", "", {{"NVRWEB_TIME_SCALE", "0.01"}});
    EXPECT_EQ("Content-type: text/plain\r\n\r\n0", r.out);
    EXPECT_EQ(1, reply_headers(r.out));
}

// The abuse suite's 100 KB bodies met a handler that answers without reading
// its whole input and writes more than a pipe holds: the harness must keep
// reading the output while the input waits.
TEST(FuzzFindings, HarnessReadsOutputOfChildThatIgnoresItsInput)
{
    ProcResult r = run_program({"/bin/sh", "-c", "head -c 5000 >/dev/null; head -c 200000 /dev/zero"}, {}, std::string(1 << 20, 'x'), 20);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(200000u, r.out.size());
}

} // namespace
