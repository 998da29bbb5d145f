/* A listing for the converter's tests. */
#include <stdio.h>

int main(void) {
    for (int i = 0; i < 3; ++i) printf("%d <tab>\n", i);
    return 0;
}
