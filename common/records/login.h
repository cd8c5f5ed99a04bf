// Payload of daemon request 3504: the query text of a mailed log-in link.
#pragma once

enum { IPC_MAIL_LOGIN = 3504 };

struct MailLoginRequest {
    char query[256]; // at most 255 characters, zero-padded
};
static_assert(sizeof(MailLoginRequest) == 256, "mailed log-in request is 256 bytes");
