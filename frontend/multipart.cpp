// multipart/form-data parser: fields kept in memory (within CGI_FIELD_PART_MAX
// each and CGI_POST_MAX together), file parts streamed to temporary files
// "/tmp/cgicXXXXXX" (0600).
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/device_path.h"
#include "common/web_utils.h"
#include "frontend/cgi.h"

cgiFormEntry *cgiFormEntryFirst = nullptr;

namespace {

// Body reader: a large read buffer over cgiIn, bounded by cgiContentLength,
// with a 1024-byte push-back area in front of it.
class Reader {
public:
    explicit Reader(FILE *in, long limit) : in_(in), remaining_(limit < 0 ? 0 : limit) {}

    int get()
    {
        if (back_len_) return static_cast<unsigned char>(back_[--back_len_]);
        if (pos_ == len_ && !refill()) return -1;
        return static_cast<unsigned char>(buf_[pos_++]);
    }

    // Pushes bytes back so that they are read again in the order given.
    bool unget(const char *bytes, size_t n)
    {
        if (back_len_ + n > sizeof back_) return false;
        for (size_t i = n; i-- > 0;) back_[back_len_++] = bytes[i];
        return true;
    }
    bool unget(char c) { return unget(&c, 1); }

    bool has_pushback() const { return back_len_ != 0; }

    // Buffered bytes available for a bulk scan (refills when empty).
    size_t span(const char **data)
    {
        if (pos_ == len_ && !refill()) return 0;
        *data = buf_ + pos_;
        return len_ - pos_;
    }
    void consume(size_t n) { pos_ += n; }

private:
    bool refill()
    {
        if (remaining_ <= 0 || !in_) return false;
        size_t want = sizeof buf_;
        if (static_cast<long>(want) > remaining_) want = static_cast<size_t>(remaining_);
        size_t got = fread(buf_, 1, want, in_);
        if (got == 0) return false;
        remaining_ -= static_cast<long>(got);
        pos_ = 0;
        len_ = got;
        return true;
    }

    FILE *in_;
    long remaining_;
    char buf_[64 * 1024];
    size_t pos_ = 0, len_ = 0;
    char back_[1024];
    size_t back_len_ = 0;
};

// Where a part's content goes: a temporary file, or memory of at most
// `memory_limit` bytes.
class Sink {
public:
    explicit Sink(size_t memory_limit) : memory_limit_(memory_limit) {}
    ~Sink()
    {
        if (fd_ >= 0) close(fd_);
        free(mem_);
    }
    bool open_file(std::string *device_path)
    {
        std::string tmpl = nvr_path("/tmp/cgicXXXXXX");
        std::vector<char> name(tmpl.begin(), tmpl.end());
        name.push_back('\0');
        fd_ = mkstemp(name.data());
        if (fd_ < 0) return false;
        fchmod(fd_, 0600);
        mapped_ = name.data();
        *device_path = mapped_.substr(strlen(nvr_root()));
        return true;
    }
    bool put(const char *data, size_t n)
    {
        if (fd_ >= 0) {
            if (fill_ + n > sizeof fbuf_ && !flush()) return false;
            if (n >= sizeof fbuf_) return write_all(data, n);
            memcpy(fbuf_ + fill_, data, n);
            fill_ += n;
            length_ += n;
            return true;
        }
        if (n > memory_limit_ - length_) {
            too_large_ = true;
            return false;
        }
        if (length_ + n + 1 > cap_) {
            size_t cap = cap_ ? cap_ : 256;
            while (cap < length_ + n + 1) cap *= 2;
            char *m = static_cast<char *>(realloc(mem_, cap));
            if (!m) {
                memory_failed_ = true;
                return false;
            }
            mem_ = m;
            cap_ = cap;
        }
        memcpy(mem_ + length_, data, n);
        length_ += n;
        return true;
    }
    bool flush()
    {
        if (fd_ < 0 || fill_ == 0) return true;
        size_t n = fill_;
        fill_ = 0;
        length_ -= n;
        return write_all(fbuf_, n);
    }
    bool close_file()
    {
        bool ok = flush();
        if (fd_ >= 0 && close(fd_) != 0) ok = false;
        fd_ = -1;
        return ok;
    }
    void remove_file()
    {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        if (!mapped_.empty()) unlink(mapped_.c_str());
    }
    char *take_memory()
    {
        if (!mem_) mem_ = static_cast<char *>(calloc(1, 1));
        else mem_[length_] = '\0';
        char *m = mem_;
        mem_ = nullptr;
        return m;
    }
    size_t length() const { return length_; }
    // The parse result of a failed put().
    int failure() const { return too_large_ ? cgiParseTooLarge : memory_failed_ ? cgiParseMemory : cgiParseIO; }

private:
    bool write_all(const char *data, size_t n)
    {
        while (n) {
            ssize_t w = write(fd_, data, n);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            data += w;
            n -= static_cast<size_t>(w);
            length_ += static_cast<size_t>(w);
        }
        return true;
    }

    int fd_ = -1;
    std::string mapped_;
    char fbuf_[64 * 1024];
    size_t fill_ = 0;
    char *mem_ = nullptr;
    size_t cap_ = 0;
    size_t length_ = 0;
    size_t memory_limit_;
    bool memory_failed_ = false;
    bool too_large_ = false;
};

// Reads one header line (ends at CR, LF or CR LF), cut to size-1 characters.
// Returns false at end of input.
bool read_line(Reader &r, char *out, size_t size)
{
    size_t n = 0;
    int c;
    for (;;) {
        c = r.get();
        if (c < 0) {
            out[n] = '\0';
            return n > 0;
        }
        if (c == '\n') break;
        if (c == '\r') {
            int d = r.get();
            if (d >= 0 && d != '\n') r.unget(static_cast<char>(d));
            break;
        }
        if (n + 1 < size) out[n++] = static_cast<char>(c);
    }
    out[n] = '\0';
    return true;
}

// Reads a quoted text or a text up to ';' into out; advances *pp.
void read_param_value(const char **pp, char *out, size_t size)
{
    const char *p = *pp;
    size_t n = 0;
    if (*p == '"') {
        p++;
        while (*p && *p != '"') {
            if (n + 1 < size) out[n++] = *p;
            p++;
        }
        if (*p == '"') p++;
    } else {
        while (*p && *p != ';') {
            if (n + 1 < size) out[n++] = *p;
            p++;
        }
        while (n > 0 && (out[n - 1] == ' ' || out[n - 1] == '\t')) n--;
    }
    out[n] = '\0';
    *pp = p;
}

void parse_disposition(const char *value, char *type, char *name, char *filename, size_t size)
{
    type[0] = name[0] = filename[0] = '\0';
    const char *p = value;
    read_param_value(&p, type, size);
    while (*p) {
        while (*p == ';' || *p == ' ' || *p == '\t') p++;
        char pname[64];
        size_t n = 0;
        while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9')) {
            if (n + 1 < sizeof pname) pname[n++] = *p;
            p++;
        }
        pname[n] = '\0';
        while (*p == ' ' || *p == '\t') p++;
        if (*p != '=') {
            // Not a parameter: skip to the next ';'.
            while (*p && *p != ';') p++;
            continue;
        }
        p++;
        while (*p == ' ' || *p == '\t') p++;
        char *dst = nullptr;
        if (strcasecmp(pname, "name") == 0) dst = name;
        else if (strcasecmp(pname, "filename") == 0) dst = filename;
        char discard[1024];
        read_param_value(&p, dst ? dst : discard, dst ? size : sizeof discard);
    }
}

// Copies the content up to "\r\n--boundary" into the sink. 0, or the parse
// result on failure.
int read_content(Reader &r, Sink *sink, const std::string &delim)
{
    size_t matched = 0;
    const size_t dlen = delim.size();
    for (;;) {
        if (matched == 0 && !r.has_pushback()) {
            const char *data;
            size_t avail = r.span(&data);
            if (avail == 0) return cgiParseIO;
            const char *cr = static_cast<const char *>(memchr(data, '\r', avail));
            size_t plain = cr ? static_cast<size_t>(cr - data) : avail;
            if (plain && sink && !sink->put(data, plain))
                return sink->failure();
            r.consume(plain);
            if (!cr) continue;
        }
        int c = r.get();
        if (c < 0) return cgiParseIO;
        if (static_cast<char>(c) == delim[matched]) {
            if (++matched == dlen) return 0;
            continue;
        }
        if (matched == 0) {
            char ch = static_cast<char>(c);
            if (sink && !sink->put(&ch, 1)) return sink->failure();
            continue;
        }
        // A partial delimiter that turned out to be content: emit its first
        // byte and read the rest again.
        if (sink && !sink->put(delim.data(), 1))
            return sink->failure();
        char ch = static_cast<char>(c);
        if (!r.unget(&ch, 1) || !r.unget(delim.data() + 1, matched - 1)) return cgiParseIO;
        matched = 0;
    }
}

// Behind a boundary: CR LF is dropped; the closing "--" is pushed back for
// the part loop to see.
void skip_line_end(Reader &r)
{
    int c1 = r.get();
    int c2 = c1 < 0 ? -1 : r.get();
    if (c1 >= 0 && c2 >= 0 && !(c1 == '\r' && c2 == '\n') && c1 == '-') {
        char back[2] = {static_cast<char>(c1), static_cast<char>(c2)};
        r.unget(back, 2);
    }
}

char *dup_text(const char *s)
{
    return strdup(s ? s : "");
}

void free_entry(cgiFormEntry *e)
{
    if (!e) return;
    if (e->tfileName && *e->tfileName) unlink(nvr_path(e->tfileName).c_str());
    free(e->attr);
    free(e->value);
    free(e->fileName);
    free(e->contentType);
    free(e->tfileName);
    free(e);
}

} // namespace

int cgiParseFormInput()
{
    cgiFormEntryFirst = nullptr;
    if (cgiContentLength <= 0) return cgiParseSuccess;
    std::string boundary = cgiMultipartBoundary ? cgiMultipartBoundary : "";
    if (boundary.size() > 1000) return cgiParseIO; // longer than the push-back area
    Reader r(cgiIn, cgiContentLength);
    cgiFormEntry **tail = &cgiFormEntryFirst;
    size_t fields_left = CGI_POST_MAX; // bytes that field parts may still hold

    // Preamble: skip to the first "--boundary".
    {
        const std::string first = "--" + boundary;
        size_t matched = 0;
        for (;;) {
            int c = r.get();
            if (c < 0) return cgiParseSuccess;
            if (static_cast<char>(c) == first[matched]) {
                if (++matched == first.size()) break;
            } else {
                matched = static_cast<char>(c) == first[0] ? 1 : 0;
            }
        }
    }
    const std::string delim = "\r\n--" + boundary;
    skip_line_end(r);

    for (;;) {
        char two[2];
        int a = r.get();
        int b = a < 0 ? -1 : r.get();
        if (a < 0 || b < 0) return cgiParseSuccess;
        two[0] = static_cast<char>(a);
        two[1] = static_cast<char>(b);
        if (two[0] == '-' && two[1] == '-') return cgiParseSuccess;
        r.unget(two, 2);

        char line[1024], disp_type[1024], name[1024], filename[1024], ctype[1024];
        disp_type[0] = name[0] = filename[0] = ctype[0] = '\0';
        for (;;) {
            if (!read_line(r, line, sizeof line)) return cgiParseIO;
            if (line[0] == '\0') break;
            char *colon = strchr(line, ':');
            if (!colon) continue;
            *colon = '\0';
            char *hname = line;
            while (*hname == ' ') hname++;
            char *hvalue = colon + 1;
            while (*hvalue == ' ') hvalue++;
            if (strcasecmp(hname, "Content-Disposition") == 0)
                parse_disposition(hvalue, disp_type, name, filename, sizeof name);
            else if (strcasecmp(hname, "Content-Type") == 0)
                copy_text(ctype, sizeof ctype, hvalue);
        }

        const bool wanted = strcasecmp(disp_type, "form-data") == 0;
        const bool is_file = wanted && filename[0] != '\0';
        Sink sink(std::min(fields_left, static_cast<size_t>(CGI_FIELD_PART_MAX)));
        std::string temp_path;
        if (is_file && !sink.open_file(&temp_path)) return cgiParseIO;

        int rc = read_content(r, wanted ? &sink : nullptr, delim);
        if (rc == 0 && is_file && !sink.close_file()) rc = cgiParseIO;
        if (rc != 0) {
            sink.remove_file();
            return rc;
        }
        skip_line_end(r);
        if (!wanted) continue;
        if (!is_file) fields_left -= sink.length();

        cgiFormEntry *e = static_cast<cgiFormEntry *>(calloc(1, sizeof(cgiFormEntry)));
        if (!e) {
            sink.remove_file();
            return cgiParseMemory;
        }
        e->valueLength = static_cast<int>(sink.length() > 0x7fffffff ? 0x7fffffff : sink.length());
        e->attr = dup_text(name);
        e->fileName = dup_text(filename);
        e->contentType = dup_text(ctype);
        e->tfileName = dup_text(is_file ? temp_path.c_str() : "");
        e->value = is_file ? dup_text("") : sink.take_memory();
        if (!e->attr || !e->fileName || !e->contentType || !e->tfileName || !e->value) {
            if (!e->tfileName) sink.remove_file();
            free_entry(e);
            return cgiParseMemory;
        }
        *tail = e;
        tail = &e->next;
    }
}

cgiFormEntry *cgiFormEntryFind(const char *name)
{
    if (!name) return nullptr;
    for (cgiFormEntry *e = cgiFormEntryFirst; e; e = e->next)
        if (strcmp(e->attr, name) == 0) return e;
    return nullptr;
}

int cgiFormFileName(const char *name, char *out, int size)
{
    if (!out || size <= 0) return cgiFormNotFound;
    out[0] = '\0';
    cgiFormEntry *e = cgiFormEntryFind(name);
    if (!e) return cgiFormNotFound;
    if (!e->fileName || !*e->fileName) return cgiFormNoFileName;
    size_t len = copy_text(out, static_cast<size_t>(size), e->fileName);
    return strlen(e->fileName) > len ? cgiFormTruncated : cgiFormSuccess;
}

void cgiFreeResources()
{
    cgiFormEntry *e = cgiFormEntryFirst;
    while (e) {
        cgiFormEntry *next = e->next;
        free_entry(e);
        e = next;
    }
    cgiFormEntryFirst = nullptr;
}
