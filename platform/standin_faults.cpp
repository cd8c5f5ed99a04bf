#include "platform/standin_faults.h"

#include <cstdio>
#include <cstring>

#include "platform/device_path.h"

bool standin_fails(const char *call)
{
    if (!call || !*call) return false;
    FILE *f = fopen(nvr_path("/var/run/standin_faults").c_str(), "re");
    if (!f) return false;
    char line[128];
    bool listed = false;
    while (!listed && fgets(line, sizeof line, f)) {
        line[strcspn(line, " \t\r\n")] = '\0';
        listed = strcmp(line, call) == 0;
    }
    fclose(f);
    return listed;
}
