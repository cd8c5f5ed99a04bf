// Handlers of the quick settings (set-up wizard and quick-settings page).
#pragma once

// ---- quick.cpp ----------------------------------------------------------------------
int on_set_ssh_enable(char *request);      // /3300
int on_set_auto_login(char *request);      // /3301
int on_set_record_mode_all(char *request); // /3302
int on_set_wizard_enable(char *request);   // /3303
int on_set_ipc_entry(char *request);       // /3304
