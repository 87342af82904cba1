/* Loaded before the crypto library in a test that needs encrypted output to compare byte for
   byte: every "random" byte becomes a fixed counter. Never part of the program. */
#include <stddef.h>

int RAND_bytes(unsigned char* buf, int num) {
    for (int i = 0; i < num; ++i) {
        buf[i] = (unsigned char)(i * 7 + 1);
    }
    return 1;
}

int RAND_priv_bytes(unsigned char* buf, int num) {
    return RAND_bytes(buf, num);
}
