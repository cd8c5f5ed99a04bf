// Replies of the record requests: every ANR change succeeds, every camera
// supports ANR, and the first 32 channels record a main and a sub stream.
#include <cstring>

#include "common/records/recording.h"
#include "sim.h"

namespace {

template <class T> std::string bytes_of(const T &rec)
{
    return std::string(reinterpret_cast<const char *>(&rec), sizeof rec);
}

std::string anr_change(const SimRequest &req)
{
    RecordAnrRequest r{};
    RecordAnrReply out{};
    if (req.payload.size() == sizeof r) memcpy(&r, req.payload.data(), sizeof r);
    out.count = r.list.count < 0 ? 0 : r.list.count > RECORD_MAX_CHANNELS ? RECORD_MAX_CHANNELS : r.list.count;
    for (int i = 0; i < out.count; i++) out.channels[i] = r.list.channels[i];
    out.anr = r.anr;
    return bytes_of(out);
}

std::string anr_support(const SimRequest &req)
{
    RecordAnrSupport out{};
    if (req.payload.size() >= 4) out.channel = qx_get_le32(req.payload.data(), 0);
    out.support = 1;
    return bytes_of(out);
}

std::string record_streams(const SimRequest &)
{
    RecordStreamReply out{};
    out.size = 32;
    for (int i = 0; i < out.size; i++) {
        out.primary[i] = 1;
        out.secondary[i] = 1;
    }
    return bytes_of(out);
}

} // namespace

SIM_REPLY(IPC_RECORD_ANR, anr_change);
SIM_REPLY(IPC_RECORD_ANR_SUPPORT, anr_support);
SIM_REPLY(IPC_RECORD_STREAMS, record_streams);
