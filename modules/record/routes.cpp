// Route list of the record module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_RECORD, kRoutes).
#include "frontend/route_table.h"
#include "modules/record/record.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    NVRWEB_ROUTE("/6030", on_get_holiday_info),
    NVRWEB_ROUTE("/6031", on_set_holiday_info),
    NVRWEB_ROUTE("/6040", on_get_record_info),
    NVRWEB_ROUTE("/6041", on_set_record_info),
    NVRWEB_ROUTE("/6042", on_get_record_mode_info),
    NVRWEB_ROUTE("/6043", on_set_record_mode_info),
    NVRWEB_ROUTE("/6044", on_get_record_param_info),
    NVRWEB_ROUTE("/6045", on_set_record_param_info),
    NVRWEB_ROUTE("/6046", on_get_anr_support_info),
    NVRWEB_ROUTE("/6047", on_get_record_stream_info),
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_RECORD, kRoutes)
