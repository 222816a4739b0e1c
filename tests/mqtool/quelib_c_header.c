/* The library's header compiled as C, and one round trip through it. */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "quelib.h"
#include "testkey.h"

int main(void) {
  struct quemsg m;
  char buf[QUE_TEXT_MAX];
  key_t key = test_key(7);
  key_t got = 0;
  int fd, n;

  if (sizeof m.msg != QUE_TEXT_MAX + 1 || sizeof err_code != 7) return 1;
  if (readquekey(" 30001x", &got) != 0 || got != 30001) return 1;
  fd = createque_del(key);
  if (fd < 0) {
    printf("createque_del: %s\n", err_code);
    return 1;
  }
  if (sendque(fd, 96, "from C", 6) != 0) {
    printf("sendque: %s\n", err_code);
    disconnectque(fd);
    return 1;
  }
  n = recvque(fd, 96, buf);
  disconnectque(fd);
  if (n != 6 || memcmp(buf, "from C", 6) != 0) {
    printf("recvque gave %d\n", n);
    return 1;
  }
  return 0;
}
