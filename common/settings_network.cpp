// Network record operations of the settings database beyond the generic
// family: storing one half of the record, the stored mode, the factory MAC.
#include <cstring>

#include "common/records/network.h"

namespace {

struct ByteRange {
    size_t begin, end;
};

// The halves of the record (the mode is stored with either).
const ByteRange kMutiHalf[] = {
    {offsetof(NetworkRecord, port), offsetof(NetworkRecord, bond6)},
    {offsetof(NetworkRecord, default_route), sizeof(NetworkRecord)},
};
const ByteRange kBondHalf[] = {
    {offsetof(NetworkRecord, primary_net), offsetof(NetworkRecord, port)},
    {offsetof(NetworkRecord, bond6), offsetof(NetworkRecord, default_route)},
};

template <size_t N> int write_half(const char *path, const NetworkRecord *rec, const ByteRange (&half)[N])
{
    if (!rec) return -1;
    const char *table = nvr_db_network::desc.name;
    return qxdb_transact(path, QXDB_WRITE, [&](QxDbTxn &txn) {
        NetworkRecord stored{};
        if (txn.get(table, 0, &stored, sizeof stored) < 0) return -1;
        stored.mode = rec->mode;
        for (const ByteRange &r : half)
            memcpy(reinterpret_cast<char *>(&stored) + r.begin, reinterpret_cast<const char *>(rec) + r.begin,
                   r.end - r.begin);
        return txn.put(table, 0, &stored, sizeof stored);
    }) < 0 ? -1 : 0;
}

} // namespace

int write_network_muti(const char *path, const NetworkRecord *rec) { return write_half(path, rec, kMutiHalf); }
int write_network_bond(const char *path, const NetworkRecord *rec) { return write_half(path, rec, kBondHalf); }

int read_network_mode(const char *path)
{
    NetworkRecord rec{};
    int rc = qxdb_transact(path, QXDB_READ,
                           [&](QxDbTxn &txn) { return txn.get(nvr_db_network::desc.name, 0, &rec, sizeof rec); });
    return rc == 1 ? rec.mode : -1;
}

int read_mac_conf(const char *path, char *mac, size_t size)
{
    if (!mac || size == 0) return -1;
    return get_param_value(path, "factory_mac", mac, size, "") == 0 ? 0 : -1;
}
