// Failure switch of the stand-ins of the maker's libraries. On a development
// machine the stand-ins do real, harmless work; a test makes chosen calls
// fail by listing their names, one a line, in the device file
// /var/run/standin_faults (under NVRWEB_ROOT). A missing file fails nothing.
#pragma once

// True when `call` (e.g. "is_port_use", "p2p_create_keyfile") is listed.
bool standin_fails(const char *call);
