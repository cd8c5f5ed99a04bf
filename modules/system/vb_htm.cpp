// "/vb.htm": service and factory commands given as option keywords with
// values ("setlang=2&decode=1", or a bare "oemclean"). Each keyword runs its
// option from the option table (common/http_option.h), which answers itself.
#include <cstring>

#include "common/http_option.h"
#include "common/web_utils.h"
#include "modules/system/maintenance.h"

int on_http_option_request(char *request)
{
    const char *text = request ? request : "";
    http_option_reply_reset();
    if (hash_table_init() != 0) {
        http_option_reply("ERROR");
        return 0;
    }

    HttpOptionSlot slots[HTTP_OPTION_SLOTS];
    int count = 1;
    if (is_httpoption_no_arg(text)) {
        memset(&slots[0], 0, sizeof slots[0]);
        COPY_TEXT(slots[0].name, text);
        COPY_TEXT(slots[0].value, "1");
    } else {
        count = get_httpoption_argnum(text);
        if (count == 0 || ui_decodeing(text, slots, count) != 0) {
            http_option_reply("PARAM ERROR");
            hash_table_destory();
            return 0;
        }
    }

    for (int i = 0; i < count; i++) {
        const HttpOption *option = http_option_search(&slots[i]);
        if (!option) {
            http_option_reply("ERROR");
            break;
        }
        option->func(&slots[i]);
    }
    hash_table_destory();
    return 0;
}
