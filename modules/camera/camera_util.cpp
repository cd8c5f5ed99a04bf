// Helpers shared by the camera module's files.
#include "common/records/osd.h"
#include "common/settings.h"
#include "common/web_utils.h"
#include "modules/camera/camera.h"

int camera_max_channels()
{
    int n = get_param_int(QXDB_PATH, "max_cameras", 32);
    if (n < 0) return 0;
    return n > MAX_CAMERAS ? MAX_CAMERAS : n;
}

void camera_osd_name(int channel, char *name, size_t size)
{
    if (read_osd_name(QXDB_PATH, name, size, channel) != 0 && name && size) name[0] = '\0';
}

bool camera_int_in_range(json_object *v, int lo, int hi)
{
    if (!v) return false;
    int n = jv_int(v);
    return n >= lo && n <= hi;
}

void camera_reply_json(json_object *obj)
{
    cgi_writeback_json(REPLY_JSON, obj);
    json_object_put(obj);
}
