// Multipart parsing and the upload intake, end to end through the echo CGI.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <sys/stat.h>

#include "frontend/cgi.h"
#include "tests/support/harness.h"

namespace {

const char *kEcho = "nvrweb-echo.cgi";

struct Part {
    std::string name;
    std::string filename; // empty: a plain field
    std::string content;
    std::string disposition = "form-data";
    bool with_filename_param = false;
};

std::string multipart(const std::string &boundary, const std::vector<Part> &parts)
{
    std::string b = "preamble text\r\n";
    for (const Part &p : parts) {
        b += "--" + boundary + "\r\n";
        b += "Content-Disposition: " + p.disposition + "; name=\"" + p.name + "\"";
        if (!p.filename.empty() || p.with_filename_param) b += "; filename=\"" + p.filename + "\"";
        b += "\r\n";
        if (!p.filename.empty()) b += "Content-Type: application/octet-stream\r\n";
        b += "\r\n" + p.content + "\r\n";
    }
    b += "--" + boundary + "--\r\n";
    return b;
}

ProcResult upload(const DeviceRoot &root, const std::string &route, const std::string &body,
                  const std::string &query = "", const std::string &boundary = "XyZ")
{
    CgiRequest req;
    req.method = "POST";
    req.route = route;
    req.query = query;
    req.content_type = "multipart/form-data; boundary=" + boundary;
    req.body = body;
    return run_cgi(root, req, kEcho);
}

std::string upload_text(const ProcResult &r)
{
    std::string b = r.body();
    if (b.compare(0, 5, "text=") != 0) return "";
    return b.substr(5, b.find('\n') - 5);
}

std::string file_upload(const DeviceRoot &root, const std::string &client_name,
                        const std::string &query = "")
{
    return upload_text(upload(root, "/0002", multipart("XyZ", {{"file", client_name, "DATA"}}), query));
}

TEST(FrontendMultipart, FieldsAndFilesInBodyOrder)
{
    DeviceRoot root;
    std::string binary("\x00\x01\r\n--notboundary\r\n\xff", 20);
    ProcResult r = upload(root, "/1019",
                          multipart("XyZ", {{"a", "", "x"}, {"file", "c.bin", binary}}), "q=1");
    ASSERT_EQ(0, r.status);
    std::string body = r.body();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(body, m, std::regex("text=(/tmp/cgic[A-Za-z0-9]{6}) & q=1\n")))
        << body;
    std::string temp = m[1];
    EXPECT_NE(std::string::npos, body.find("entry name=a file= temp= len=1 type=\n"));
    EXPECT_NE(std::string::npos,
              body.find("entry name=file file=c.bin temp=" + temp + " len=20 type=application/octet-stream"));
    EXPECT_LT(body.find("entry name=a"), body.find("entry name=file"));
    // The handler saw the temporary file; the end of the request removed it.
    EXPECT_FALSE(root.exists(temp));
}

TEST(FrontendMultipart, TemporaryFileHoldsExactBytesWithOwnerOnlyMode)
{
    DeviceRoot root;
    std::string content;
    for (int i = 0; i < 70000; i++) content += static_cast<char>(i * 7);
    ProcResult r = upload(root, "/0002", multipart("XyZ", {{"file", "blob.bin", content}}));
    ASSERT_EQ("/tmp/blob.bin", upload_text(r));
    EXPECT_EQ(content, root.read("/tmp/blob.bin"));
    struct stat st;
    ASSERT_EQ(0, stat(root.host("/tmp/blob.bin").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
}

TEST(FrontendMultipart, EmptyFileNameAndOtherDispositions)
{
    DeviceRoot root;
    Part empty_name{"file", "", "inline", "form-data", true};
    Part attachment{"x", "", "skip", "attachment"};
    ProcResult r = upload(root, "/6082", multipart("XyZ", {attachment, empty_name}));
    std::string body = r.body();
    EXPECT_EQ("temp & ", upload_text(r));
    EXPECT_EQ(std::string::npos, body.find("entry name=x"));
    EXPECT_NE(std::string::npos, body.find("entry name=file file= temp= len=6"));
    // An ordinary route refuses a file field without a file name.
    EXPECT_EQ("", upload(root, "/0002", multipart("XyZ", {empty_name})).answer());
}

TEST(FrontendMultipart, BoundaryFoundInAnyParameterPosition)
{
    DeviceRoot root;
    CgiRequest req;
    req.method = "POST";
    req.route = "/0002";
    req.content_type = "multipart/form-data; charset=utf-8;  boundary=Q1w2 ";
    req.body = multipart("Q1w2", {{"file", "k.txt", "kk"}});
    EXPECT_EQ("text=/tmp/k.txt\n", run_cgi(root, req, kEcho).body().substr(0, 16));
}

TEST(FrontendMultipart, TruncatedBodyFailsWithoutOutputAndLeavesNoTemporaryFile)
{
    DeviceRoot root;
    std::string body = multipart("XyZ", {{"file", "c.bin", std::string(5000, 'z')}});
    body.resize(body.size() / 2);
    ProcResult r = upload(root, "/0002", body);
    EXPECT_NE(0, r.status);
    EXPECT_EQ(0u, r.out.find("Status: 400 Bad Request\r\n"));
    EXPECT_TRUE(root.list("/tmp").empty());
    // An empty body parses to no entries: no "file" field, nothing dispatched.
    EXPECT_EQ("", upload(root, "/0002", "").answer());
}

TEST(FrontendMultipart, FieldPartsHeldInMemoryAreCapped)
{
    const size_t kMax = CGI_POST_MAX;
    const Part file{"file", "c.bin", std::string(100000, 'f')};
    std::vector<Part> many(kMax / 100 + 1, Part{"m", "", std::string(100, 'm')});
    many.push_back(file);
    struct Case {
        const char *what;
        std::vector<Part> parts;
        bool taken;
    } cases[] = {
        {"one field at the limit", {{"a", "", std::string(kMax, 'a')}, file}, true},
        {"one field over it", {{"a", "", std::string(kMax + 1, 'a')}, file}, false},
        {"fields over it together", {{"a", "", std::string(kMax / 2, 'a')}, {"b", "", std::string(kMax / 2 + 2, 'b')}, file}, false},
        {"many small fields over it", many, false},
        {"a large field", {file, {"a", "", std::string(CGI_FIELD_PART_MAX * 4, 'a')}}, false},
        {"file without name in memory", {{"file", "", std::string(kMax + 1, 'e'), "form-data", true}}, false},
        {"files do not count", {file, file, {"a", "", std::string(kMax, 'a')}}, true},
        {"skipped parts do not count", {{"x", "", std::string(kMax * 2, 'x'), "attachment"}, {"a", "", "1"}, file}, true},
    };
    for (const Case &c : cases) {
        DeviceRoot root;
        ProcResult r = upload(root, "/1019", multipart("XyZ", c.parts));
        if (c.taken) {
            EXPECT_EQ(0, r.status) << c.what;
            EXPECT_NE(std::string::npos, r.body().find("text=/tmp/cgic")) << c.what;
        } else {
            // A parse error: nothing dispatched, no temporary file left.
            EXPECT_NE(0, r.status) << c.what;
            EXPECT_EQ(std::string::npos, r.body().find("text=")) << c.what;
            EXPECT_TRUE(root.list("/tmp").empty()) << c.what;
        }
    }
    DeviceRoot root;
    ProcResult r = upload(root, "/1019", multipart("XyZ", {{"a", "", std::string(kMax, 'a')}, file}));
    EXPECT_NE(std::string::npos, r.body().find("entry name=a file= temp= len=" + std::to_string(kMax) + " "));
}

TEST(FrontendMultipart, StreamedUploadLeavesBodyUnread)
{
    DeviceRoot root;
    ProcResult r = upload(root, "/1010", multipart("XyZ", {{"file", "fw.bin", "abc"}}), "x=1");
    EXPECT_EQ("temp & x=1", upload_text(r));
    EXPECT_EQ(std::string::npos, r.body().find("entry"));
}

TEST(FrontendUpload, StoredNamesAreSanitisedOrGenerated)
{
    DeviceRoot root;
    EXPECT_EQ("/tmp/fw.bin", file_upload(root, "C:\\dir\\fw.bin"));
    EXPECT_EQ("/tmp/p.tar", file_upload(root, "/home/u/p.tar"));

    long before = static_cast<long>(time(nullptr));
    std::smatch m;
    std::string s = file_upload(root, "fw..bin");
    ASSERT_TRUE(std::regex_match(s, m, std::regex("/tmp/upload_([0-9]+)\\.bin")));
    EXPECT_GE(std::stol(m[1]), before);
    s = file_upload(root, "a..b.tar.gz");
    EXPECT_TRUE(std::regex_match(s, std::regex("/tmp/upload_[0-9]+\\.gz"))) << s;
    // Dots that meet once control characters are dropped count as "..".
    s = file_upload(root, std::string("fw.\x10.bin", 9));
    EXPECT_TRUE(std::regex_match(s, std::regex("/tmp/upload_[0-9]+(_[0-9]+)?\\.bin"))) << s;
    // A generated name takes the extension without its control characters.
    s = file_upload(root, std::string("a..b.t\x01z\n", 9));
    EXPECT_TRUE(std::regex_match(s, std::regex("/tmp/upload_[0-9]+\\.tz"))) << s;
    s = file_upload(root, std::string("\x01\x02\x03", 3));
    EXPECT_TRUE(std::regex_match(s, std::regex("/tmp/upload_[0-9]+"))) << s;
    // Control characters are dropped, high bytes stay.
    EXPECT_EQ("/tmp/ab\xc3\xa9.txt", file_upload(root, "a\tb\xc3\xa9.txt"));
}

TEST(FrontendUpload, OverlongClientNameEndsWithoutOutput)
{
    DeviceRoot root;
    EXPECT_EQ("", upload(root, "/0002", multipart("XyZ", {{"file", std::string(128, 'n'), "x"}})).answer());
    EXPECT_EQ("/tmp/" + std::string(127, 'n'), file_upload(root, std::string(127, 'n')));
}

TEST(FrontendUpload, ParamValueIsAppended)
{
    DeviceRoot root;
    EXPECT_EQ("/tmp/fw.bin & abc", file_upload(root, "fw.bin", "a=1&param:abc&b=2"));
    EXPECT_EQ("/tmp/x.bin & last", file_upload(root, "x.bin", "param:last"));
}

TEST(FrontendUpload, NeverReplacesAnExistingFile)
{
    DeviceRoot root;
    root.write("/tmp/fw.bin", "precious");
    std::string first = file_upload(root, "fw.bin");
    EXPECT_TRUE(std::regex_match(first, std::regex("/tmp/upload_[0-9]+\\.bin"))) << first;
    std::string second = file_upload(root, "fw.bin");
    EXPECT_NE(first, second);
    EXPECT_TRUE(std::regex_match(second, std::regex("/tmp/upload_[0-9]+(_[0-9]+)?\\.bin"))) << second;
    EXPECT_EQ("precious", root.read("/tmp/fw.bin"));
    EXPECT_EQ("DATA", root.read(first));
    EXPECT_EQ("DATA", root.read(second));
}

TEST(FrontendUpload, FailedMoveDispatchesNothingAndLogs)
{
    DeviceRoot root;
    // Every name the intake may choose in the next seconds is taken.
    long now = static_cast<long>(time(nullptr));
    root.write("/tmp/fw.bin", "old");
    for (long t = now; t < now + 3; t++) {
        root.write("/tmp/upload_" + std::to_string(t) + ".bin", "old");
        for (int i = 0; i < 100; i++)
            root.write("/tmp/upload_" + std::to_string(t) + "_" + std::to_string(i) + ".bin", "old");
    }
    ProcResult r = upload(root, "/0002", multipart("XyZ", {{"file", "fw.bin", "new"}}));
    EXPECT_EQ("", r.answer());
    EXPECT_NE(std::string::npos, root.read("/mnt/nand/cgi_log.txt").find("upload: cannot store"));
    EXPECT_EQ("old", root.read("/tmp/fw.bin"));
    for (const std::string &f : root.list("/tmp")) EXPECT_EQ(std::string::npos, f.find("cgic")) << f;
}

} // namespace
