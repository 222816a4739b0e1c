/* Queue keys of the running test process: 0x40000000 + pid * 256 + n. Two
 * test processes never share one, and every key is far above mqtool's floor
 * of 10000. C and C++. */
#ifndef JUX_TESTKEY_H
#define JUX_TESTKEY_H

#include <sys/ipc.h>
#include <unistd.h>

static inline key_t test_key(int n) { return (key_t)(0x40000000 + ((int)getpid() << 8) + n); }

#endif
