// Replies of the alarm module's waiting requests: every channel's camera
// brings two alarm inputs and one alarm output. Input 0 is a normally open
// contact at rest, input 1 a normally closed one that reports an alarm;
// the output is idle.
#include <cstring>

#include "common/records/alarm.h"
#include "sim.h"

namespace {
int32_t requested_channel(const SimRequest &req)
{
    int32_t channel = 0;
    if (req.payload.size() >= sizeof channel) memcpy(&channel, req.payload.data(), sizeof channel);
    return channel;
}

template <class T> std::string bytes(const T &rec) { return std::string(reinterpret_cast<const char *>(&rec), sizeof rec); }

std::string camera_alarm_inputs(const SimRequest &req)
{
    CamAlarmInState st{};
    st.channel = requested_channel(req);
    st.enable[0] = 1;
    st.enable[1] = 1;
    st.type[1] = 1;
    st.status[1] = 1;
    st.count = 2;
    return bytes(st);
}

std::string camera_alarm_outputs(const SimRequest &req)
{
    CamAlarmOutState st{};
    st.channel = requested_channel(req);
    st.count = 1;
    return bytes(st);
}
} // namespace

SIM_REPLY(IPC_CAM_ALARM_IN_STATE, camera_alarm_inputs);
SIM_REPLY(IPC_CAM_ALARM_OUT_STATE, camera_alarm_outputs);
