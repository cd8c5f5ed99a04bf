// Settings-database operations on the camera records that go beyond the
// generated record families: protocol and model lists, OSD names.
#include <cstdio>
#include <iterator>

#include "common/records/camera.h"
#include "common/records/osd.h"
#include "common/web_utils.h"

// The protocols a recorder knows before any entry was stored.
static const IpcProtocolRecord kFactoryProtocols[] = {
    {0, "ONVIF", 1, 1, 0},
    {1, "RTSP", 0, 1, 0},
    {2, "QXSF", 1, 1, 0},
};

int read_ipc_protocols(const char *path, std::vector<IpcProtocolRecord> *list)
{
    if (!list) return -1;
    list->clear();
    IpcProtocolRecord all[IPC_PROTOCOL_SLOTS];
    int count = 0;
    if (read_ipc_protocols(path, all, &count) != 0) return -1;
    for (int i = 0; i < count && i < IPC_PROTOCOL_SLOTS; i++)
        if (all[i].name[0]) list->push_back(all[i]);
    if (list->empty()) list->assign(std::begin(kFactoryProtocols), std::end(kFactoryProtocols));
    return 0;
}

int read_ipc_models_by_protocol(const char *path, int protocol_id, std::vector<IpcModelRecord> *models)
{
    if (!models) return -1;
    models->clear();
    std::vector<IpcModelRecord> all(IPC_MODEL_SLOTS);
    int count = 0;
    if (read_ipc_models(path, all.data(), IPC_MODEL_SLOTS, &count) != 0) return -1;
    for (int i = 0; i < count && i < IPC_MODEL_SLOTS; i++)
        if (all[i].name[0] && all[i].protocol == protocol_id) models->push_back(all[i]);
    return 0;
}

int read_osd_name(const char *path, char *name, size_t size, int channel)
{
    if (!name || size == 0) return -1;
    name[0] = '\0';
    OsdRecord osd{};
    if (read_osd(path, &osd, channel) != 0) return -1;
    if (osd.name[0])
        copy_field(name, size, osd.name, sizeof osd.name);
    else
        snprintf(name, size, "CAM%d", channel + 1);
    return 0;
}
