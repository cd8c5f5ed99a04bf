// Route list of the record module, registered with
// NVRWEB_MODULE_ROUTES(MODULE_RECORD, kRoutes).
#include "frontend/route_table.h"
#include "modules/record/record.h"

namespace {
constexpr RouteDecl kRoutes[] = {
    {"/6030", NVRWEB_HANDLER(on_get_holiday_info)},
    {"/6031", NVRWEB_HANDLER(on_set_holiday_info)},
    {"/6040", NVRWEB_HANDLER(on_get_record_info)},
    {"/6041", NVRWEB_HANDLER(on_set_record_info)},
    {"/6042", NVRWEB_HANDLER(on_get_record_mode_info)},
    {"/6043", NVRWEB_HANDLER(on_set_record_mode_info)},
    {"/6044", NVRWEB_HANDLER(on_get_record_param_info)},
    {"/6045", NVRWEB_HANDLER(on_set_record_param_info)},
    {"/6046", NVRWEB_HANDLER(on_get_anr_support_info)},
    {"/6047", NVRWEB_HANDLER(on_get_record_stream_info)},
};
} // namespace

NVRWEB_MODULE_ROUTES(MODULE_RECORD, kRoutes)
