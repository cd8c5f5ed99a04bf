// Translation library of the platform: the names of log types, log entries
// and settings groups in the language of the web page, by numeric id.
//
// English names are built in. Another language may bring a file
// /opt/app/trans/<language>.txt (under the device root) of "id=text" lines;
// an id it does not name keeps its English name.
#pragma once

// Selects the language ("en", "en-US", "de", ...): letters, digits, '-' and
// '_' only, at most 31 characters. Returns 0; -1 (English selected) for a
// null or malformed code. A language without a file is English.
int trans_init(const char *language);
// Copies the name of `id` into buffer (cut to size-1 characters). 0 when
// the id has a name; -1 (buffer empty) when not or for bad arguments.
int trans_get_value(int id, char *buffer, int size);
// Drops the loaded language; later lookups give English. Returns 0.
int trans_deinit();
