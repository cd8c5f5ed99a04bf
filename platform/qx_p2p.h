// The maker's P2P client library and its size helper, as a stand-in for the
// development machine. A connection made with socket_connect() (qx_net.h) is
// switched to a key file; p2p_send()/p2p_recv() then exchange framed
// messages over it: a 4-byte little-endian plain length, then the message
// scrambled with the key in blocks of 128 bytes (rsa_cal_ensize()). The
// scrambling only stands in for the real encryption; it protects nothing.
// Each call can be switched to failure for tests (platform/standin_faults.h).
#pragma once

// Size in bytes of the encrypted form of `len` bytes: whole blocks of 128
// bytes, each carrying up to 117 bytes. 0 for len <= 0.
int rsa_cal_ensize(int len);
// Makes sure the key file (a device path) exists: a new one holds 32 random
// bytes; an existing one is kept. 0, or -1.
int p2p_create_keyfile(const char *path);
// Uses the key of the key file for the socket's messages from now on. 0 or -1.
int p2p_cli_switch_keyfile(int sock, const char *path);
// Sends one message of `len` bytes (1 MiB at most): len, or -1.
int p2p_send(int sock, const void *buf, int len);
// Receives one message into buf (size bytes; a longer message is cut): the
// number of bytes stored, or -1 on a failure, a time-out or a malformed frame.
int p2p_recv(int sock, void *buf, int size);
// Forgets the key of a socket that is being closed (socket_destroy() calls it).
void p2p_socket_closed(int sock);
