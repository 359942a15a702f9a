/* The cheapest possible 100 ms polling loop, for comparison with the
   monitor's idle cost. */
#include <time.h>

int main(void) {
    struct timespec tick = {0, 100000000L};
    for (;;) {
        nanosleep(&tick, 0);
    }
}
