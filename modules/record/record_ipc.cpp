// Reply dispatcher of the record module: reply code -> record size -> answer.
#include "common/records/recording.h"
#include "common/reply_table.h"
#include "modules/record/record.h"

namespace {
const IpcReplyRoute kRecordReplies[] = {
    {REPLY_RECORD_ANR, sizeof(RecordAnrReply), on_record_anr_cb, SHORT_WAIT, nullptr},
    {REPLY_RECORD_ANR_SUPPORT, sizeof(RecordAnrSupport), on_record_anr_support_cb, SHORT_WAIT, nullptr},
    {REPLY_RECORD_STREAMS, sizeof(RecordStreamReply), on_record_streams_cb, SHORT_WAIT, nullptr},
};
} // namespace

void on_record_ipc_callback(int, const void *header, const void *payload)
{
    IPC_DISPATCH(kRecordReplies, "dispatchreq", header, payload);
}
