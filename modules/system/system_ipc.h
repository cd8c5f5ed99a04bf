// Daemon requests of the system module and its reply dispatcher.
//
// Every daemon request of the module is sent with on_system_ipc_callback.
// The dispatcher answers only the reply code of the waiting request the
// module has in flight (system_request_ipc); replies to fire-and-forget
// requests (system_notify_ipc, whose replies come on the same callback) and
// any other reply code are ignored, so they never write a second reply body.
// A module's new waiting reply is a row of kSystemReplies (system_ipc.cpp).
#pragma once

void on_system_ipc_callback(int unused, const void *header, const void *payload);

// Sends `code` and waits for its reply (request code + 5000), which the
// dispatcher hands to the callback of its row. No reply in time, or one too
// short for its record: the error reply of `error_kind` is written. Returns
// g_callback_done after the request (0: the error reply was written).
int system_request_ipc(int code, int length, const void *payload, int error_kind);
template <class T> int system_request_ipc(int code, const T &record, int error_kind)
{
    return system_request_ipc(code, static_cast<int>(sizeof(T)), &record, error_kind);
}
// Fire-and-forget request through the dispatcher; its reply is ignored.
void system_notify_ipc(int code, int length, const void *payload);
