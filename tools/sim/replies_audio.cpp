// Replies of the custom alarm sound requests. The simulator keeps the ten
// sound slots while it runs, starting with one sound ("doorbell.wav"); a
// sound handed over (4013) must be in /tmp under its encoded name, and the
// simulator takes it from there.
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>

#include "common/records/audio.h"
#include "platform/device_path.h"
#include "platform/qx_base64.h"
#include "sim.h"

namespace {

std::mutex g_mu;
SoundRecord g_slots[SOUND_SLOTS];
bool g_ready = false;

// Under g_mu.
void ready()
{
    if (g_ready) return;
    g_ready = true;
    for (int i = 0; i < SOUND_SLOTS; i++) g_slots[i] = SoundRecord{i, 0, {}};
    const char demo[] = "doorbell.wav";
    g_slots[0].enable = 1;
    base64EncodeUrl(reinterpret_cast<const unsigned char *>(demo), sizeof demo - 1, g_slots[0].name,
                    sizeof g_slots[0].name);
}

int32_t int_of(const SimRequest &req)
{
    int32_t v = 0;
    memcpy(&v, req.payload.data(), req.payload.size() < sizeof v ? req.payload.size() : sizeof v);
    return v;
}

std::string name_of(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

// 4012: the ten slots.
std::string sound_list(const SimRequest &)
{
    std::lock_guard<std::mutex> lock(g_mu);
    ready();
    return std::string(reinterpret_cast<const char *>(g_slots), sizeof g_slots);
}

// 4013: the file /tmp/<encoded name> goes into the first free slot.
std::string sound_add(const SimRequest &req)
{
    SoundName n{};
    memcpy(&n, req.payload.data(), req.payload.size() < sizeof n ? req.payload.size() : sizeof n);
    std::string name = name_of(n.name, sizeof n.name);
    if (!base64_url_text(name.c_str())) return qx_le32_bytes(-1);
    std::string file = nvr_path(("/tmp/" + name).c_str());
    std::lock_guard<std::mutex> lock(g_mu);
    ready();
    if (access(file.c_str(), R_OK) != 0) return qx_le32_bytes(-2);
    for (SoundRecord &s : g_slots) {
        if (s.enable == 1) continue;
        s.enable = 1;
        memcpy(s.name, n.name, sizeof s.name);
        s.name[sizeof s.name - 1] = '\0';
        unlink(file.c_str());
        return qx_le32_bytes(0);
    }
    return qx_le32_bytes(-3); // all ten slots used
}

// 4014: empties the slots of the mask.
std::string sound_delete(const SimRequest &req)
{
    int32_t mask = int_of(req);
    std::lock_guard<std::mutex> lock(g_mu);
    ready();
    for (int i = 0; i < SOUND_SLOTS; i++)
        if (mask & (1 << i)) g_slots[i] = SoundRecord{i, 0, {}};
    return qx_le32_bytes(0);
}

// 4015: a used slot takes the new name.
std::string sound_rename(const SimRequest &req)
{
    SoundRecord r{};
    memcpy(&r, req.payload.data(), req.payload.size() < sizeof r ? req.payload.size() : sizeof r);
    std::lock_guard<std::mutex> lock(g_mu);
    ready();
    if (r.id < 0 || r.id >= SOUND_SLOTS || g_slots[r.id].enable != 1) return qx_le32_bytes(-1);
    memcpy(g_slots[r.id].name, r.name, sizeof r.name);
    g_slots[r.id].name[sizeof r.name - 1] = '\0';
    return qx_le32_bytes(0);
}

// 4016: playing a used slot works.
std::string sound_play(const SimRequest &req)
{
    int32_t id = int_of(req);
    std::lock_guard<std::mutex> lock(g_mu);
    ready();
    return qx_le32_bytes(id >= 0 && id < SOUND_SLOTS && g_slots[id].enable == 1 ? 0 : -1);
}

} // namespace

SIM_REPLY(IPC_SOUND_LIST, sound_list);
SIM_REPLY(IPC_SOUND_ADD, sound_add);
SIM_REPLY(IPC_SOUND_DELETE, sound_delete);
SIM_REPLY(IPC_SOUND_RENAME, sound_rename);
SIM_REPLY(IPC_SOUND_PLAY, sound_play);
