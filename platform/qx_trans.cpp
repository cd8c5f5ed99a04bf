#include "platform/qx_trans.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/device_path.h"

namespace {

struct Name {
    int id;
    const char *text;
};

// Log types (1..6), log entries by sub type, settings groups (900..925).
const Name kEnglish[] = {
    {1, "All"}, {2, "Event"}, {3, "Operation"}, {4, "Information"}, {5, "Exception"}, {6, "Debug"},
    {10, "All"},
    // events
    {11, "Motion detection start"}, {12, "Motion detection stop"}, {13, "Alarm input start"},
    {14, "Alarm input stop"}, {15, "PIR detection start"}, {16, "PIR detection stop"},
    {17, "Video loss"}, {18, "Video recovered"}, {19, "Line crossing"}, {20, "Intrusion"},
    {21, "Region entrance"}, {22, "Region exit"}, {23, "Loitering"}, {24, "Object left"},
    {25, "Object removed"}, {26, "Face detection"}, {27, "People counting"},
    {28, "Plate recognition"}, {29, "Sound alarm"}, {30, "Video tampering"},
    {33, "Camera alarm input start"}, {34, "Camera alarm input stop"}, {35, "Alarm output start"},
    {36, "Alarm output stop"}, {37, "Human detection"}, {38, "Vehicle detection"},
    {39, "Crowd density"}, {40, "Heat map"}, {41, "Temperature alarm"},
    {42, "Non-motor vehicle detection"}, {43, "POS event"}, {44, "Smart event"},
    // local operations
    {101, "Local login"}, {102, "Local logout"}, {103, "Local restart"}, {104, "Local shutdown"},
    {105, "Local upgrade"}, {106, "Local parameter setting"}, {107, "Local PTZ control"},
    {108, "Local playback"}, {109, "Local backup"}, {110, "Local disk format"},
    {111, "Local add camera"}, {112, "Local delete camera"}, {113, "Local camera setting"},
    {114, "Local configuration export"}, {115, "Local configuration import"},
    {116, "Local factory defaults"}, {117, "Local manual recording start"},
    {118, "Local manual recording stop"}, {119, "Local add user"}, {120, "Local delete user"},
    {121, "Local modify user"}, {122, "Local time setting"}, {123, "Local manual alarm output"},
    {124, "Local alarm clear"}, {125, "Local snapshot"}, {126, "Local file lock"},
    {127, "Local file unlock"}, {128, "Local add network disk"}, {129, "Local delete network disk"},
    {130, "Local modify network disk"}, {131, "Local create RAID"}, {132, "Local delete RAID"},
    {133, "Local rebuild RAID"}, {134, "Local remove disk"}, {135, "Local live view start"},
    {136, "Local live view stop"}, {137, "Local two-way audio"}, {138, "Local channel switch"},
    {139, "Local password reset"}, {140, "Local device activation"}, {141, "Local camera upgrade"},
    {142, "Local disk repair"}, {143, "Local storage mode change"}, {144, "Local set-up wizard"},
    // remote operations
    {200, "Remote restart"}, {201, "Remote login"}, {202, "Remote logout"}, {203, "Remote upgrade"},
    {204, "Remote parameter setting"}, {205, "Remote playback snapshot"},
    {206, "Remote PTZ control"}, {207, "Remote disk format"}, {208, "Remote backup"},
    {209, "Remote playback"}, {210, "Remote add camera"}, {211, "Remote delete camera"},
    {212, "Remote camera stream setting"}, {213, "Remote configuration export"},
    {214, "Remote configuration import"}, {215, "Remote factory defaults"},
    {216, "Remote shutdown"}, {217, "Remote image setting"}, {218, "Remote live view"},
    {219, "Remote add network disk"}, {220, "Remote delete network disk"},
    {221, "Remote modify network disk"}, {222, "Remote create RAID"}, {223, "Remote delete RAID"},
    {224, "Remote remove disk"}, {225, "Remote time setting"}, {226, "Remote two-way audio"},
    {227, "Remote playback clip"}, {228, "Remote camera upgrade"},
    // exceptions
    {400, "Disk full"}, {401, "Disk error"}, {402, "No disk"}, {403, "Network disconnected"},
    {404, "Illegal access"}, {405, "Recording error"}, {406, "IP address conflict"},
    {407, "Camera IP address conflict"}, {409, "RAID degraded"}, {410, "RAID failed"},
    {411, "Disk temperature high"}, {412, "Fan failure"}, {413, "Power failure"},
    // information
    {500, "System start"}, {501, "System shutdown"}, {502, "Recording start"},
    {503, "Recording stop"}, {504, "Disk information"}, {505, "Network status"},
    {506, "Camera online"}, {511, "Camera offline"}, {512, "Scheduled restart"},
    {513, "Time synchronised"}, {514, "Disk S.M.A.R.T. information"}, {515, "Backup finished"},
    {516, "Upgrade finished"}, {517, "Configuration changed"}, {518, "User locked"},
    {519, "Cloud service connected"}, {520, "Cloud service disconnected"},
    {521, "RAID information"},
    // debug
    {600, "Debug information"}, {601, "Daemon message"}, {602, "Camera protocol"},
    {603, "Kernel message"},
    // settings groups
    {900, "System"}, {901, "Add camera"}, {902, "Delete camera"}, {903, "Camera parameters"},
    {904, "PTZ"}, {905, "Record parameters"}, {906, "Record schedule"}, {907, "Record stream"},
    {908, "Video loss"}, {909, "Motion detection"}, {910, "Alarm input"}, {911, "Alarm output"},
    {912, "Exception"}, {913, "General"}, {914, "Network"}, {915, "PPPoE"}, {916, "DDNS"},
    {917, "E-mail"}, {918, "Service ports"}, {919, "Disk"}, {920, "Holidays"},
    {921, "Add user"}, {922, "Delete user"}, {923, "Camera alarm input and output"},
    {924, "Camera sound detection"}, {925, "Alarm sounds"},
};

enum { kLanguageMax = 31, kLineMax = 512 };

std::map<int, std::string> &loaded_names()
{
    // Built on first use (not at every start), never destroyed.
    static auto *value = new std::map<int, std::string>;
    return *value;
}

bool valid_language(const char *lang)
{
    size_t n = strlen(lang);
    if (n == 0 || n > kLanguageMax) return false;
    for (const char *p = lang; *p; p++) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

void load_file(const char *lang)
{
    std::string path = nvr_path((std::string("/opt/app/trans/") + lang + ".txt").c_str());
    FILE *f = fopen(path.c_str(), "r");
    if (!f) return;
    char line[kLineMax];
    while (fgets(line, sizeof line, f)) {
        line[strcspn(line, "\r\n")] = '\0';
        char *eq = strchr(line, '=');
        if (!eq) continue;
        *eq = '\0';
        char *end = nullptr;
        long id = strtol(line, &end, 10);
        if (end == line || *end || id < 0 || id > 0x7fffffff) continue;
        loaded_names()[static_cast<int>(id)] = eq + 1;
    }
    fclose(f);
}

} // namespace

int trans_init(const char *language)
{
    loaded_names().clear();
    if (!language || !valid_language(language)) return -1;
    load_file(language);
    return 0;
}

int trans_get_value(int id, char *buffer, int size)
{
    if (!buffer || size <= 0) return -1;
    buffer[0] = '\0';
    const char *text = nullptr;
    auto it = loaded_names().find(id);
    if (it != loaded_names().end()) {
        text = it->second.c_str();
    } else {
        for (const Name &n : kEnglish)
            if (n.id == id) text = n.text;
    }
    if (!text) return -1;
    snprintf(buffer, static_cast<size_t>(size), "%s", text);
    return 0;
}

int trans_deinit()
{
    loaded_names().clear();
    return 0;
}
