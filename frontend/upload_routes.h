// Routes that take an uploaded file, declared beside the route table. An
// upload sent to any other route is not kept: the stored file is removed
// when the request ends.
//
// The intake's own groups (streamed uploads and the routes that keep the
// temporary file) are fixed here; a module whose handler takes a stored
// upload declares it next to its route list:
//
//   const UploadRoute kUploads[] = {{"/7084", UPLOAD_STORED}};
//   NVRWEB_MODULE_UPLOADS(kUploads)
#pragma once

enum UploadKind {
    UPLOAD_NONE,      // the route takes no upload
    UPLOAD_STORED,    // the file is stored under its (sanitised) name; the handler gets the path
    UPLOAD_KEPT_TEMP, // the handler gets the temporary file and the query string
    UPLOAD_STREAMED,  // the handler gets "temp" and the query string (it reads or ignores the body)
};

struct UploadRoute {
    const char *route;
    UploadKind kind;
};

int UploadRoutesRegister(const UploadRoute *table, int count);
UploadKind upload_kind(const char *route);

#define NVRWEB_MODULE_UPLOADS(table)                                                            \
    __attribute__((constructor)) static void nvrweb_module_uploads()                             \
    {                                                                                            \
        UploadRoutesRegister(table, static_cast<int>(sizeof(table) / sizeof((table)[0])));        \
    }
