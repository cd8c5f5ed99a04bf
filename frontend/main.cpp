#include "frontend/cgi.h"

int main() { return cgi_main(); }
