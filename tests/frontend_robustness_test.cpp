// Faults the fuzz targets found in the front end, kept as regressions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/harness.h"

namespace {

ProcResult upload(const DeviceRoot &root, const std::string &route, const std::string &body)
{
    CgiRequest req;
    req.method = "POST";
    req.route = route;
    req.content_type = "multipart/form-data; boundary=XyZ";
    req.body = body;
    return run_cgi(root, req, "nvrweb-echo.cgi");
}

const std::string kFilePart =
    "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.bin\"\r\n\r\nDATA\r\n";

TEST(FrontendRobustness, FailedParseRemovesTemporaryFilesOfEarlierParts)
{
    DeviceRoot root;
    // The first file part is whole; the second ends inside its content.
    ProcResult r = upload(root, "/0002",
                          kFilePart + "--XyZ\r\nContent-Disposition: form-data; name=\"b\"; "
                                      "filename=\"b.bin\"\r\n\r\nPARTIAL");
    EXPECT_EQ(255, r.status); // main's -1
    EXPECT_EQ(0u, r.out.find("Status: 400 Bad Request\r\n"));
    EXPECT_TRUE(root.list("/tmp").empty());
}

TEST(FrontendRobustness, UploadToUnknownRouteLeavesNoFile)
{
    DeviceRoot root;
    ProcResult r = upload(root, "/9999", kFilePart + "--XyZ--\r\n");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("Status: 404 Not Found\r\n"));
    EXPECT_TRUE(root.list("/tmp").empty());
    // A route that takes uploads keeps its file.
    r = upload(root, "/0002", kFilePart + "--XyZ--\r\n");
    EXPECT_NE(std::string::npos, r.body().find("text=/tmp/a.bin")) << r.out;
    EXPECT_EQ(std::vector<std::string>{"/tmp/a.bin"}, root.list("/tmp"));
}

TEST(FrontendRobustness, UploadToARouteWithoutUploadsLeavesNoFile)
{
    DeviceRoot root;
    // /0001 is a plain route: its handler runs, the stored file goes after it.
    for (int i = 0; i < 3; i++) {
        ProcResult r = upload(root, "/0001", kFilePart + "--XyZ--\r\n");
        EXPECT_NE(std::string::npos, r.body().find("/tmp/a.bin")) << r.out;
    }
    EXPECT_TRUE(root.list("/tmp").empty());
}

} // namespace
