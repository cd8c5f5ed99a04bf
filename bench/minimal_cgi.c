/* The smallest useful CGI: the yardstick for whole-process costs. */
#include <stdio.h>

int main(void)
{
    fputs("Content-type: text/plain\r\n\r\nOK", stdout);
    return 0;
}
