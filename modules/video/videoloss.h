// Video loss settings with their actions, and the recorder's exception
// events (videoloss.cpp, exceptions.cpp).
#pragma once

// Video loss (videoloss.cpp).
int on_get_videolost_info(char *request);         // /6014
int on_get_videolost_schedule(char *request);     // /6015
int on_set_videolost_info(char *request);         // /6016
int on_set_videolost_schedule(char *request);     // /6017
int on_get_videoloss_info(char *request);         // /6094
int on_set_videoloss_info(char *request);         // /6095
int on_set_videolost_audible_sche(char *request); // /6121
int on_set_videolost_email_sche(char *request);   // /6122
int on_set_videolost_others(char *request);       // /6123
int on_get_videolost_email_sche(char *request);   // /6124
int on_set_videoloss_ptz_sche(char *request);     // /6165
int on_get_videoloss_ptz_sche(char *request);     // /6166

// Exceptions (exceptions.cpp).
int on_set_exception(char *request); // /6998
int on_get_exception(char *request); // /6999
