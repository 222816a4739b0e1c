/* A program outside the tree that uses the installed queue library: sends one
 * message on a queue of its own, takes it back, and removes the queue. */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <quelib.h>

int main(void) {
  /* Private to this process: no other live process has this pid. */
  key_t key = (key_t)(0x4A000000 + getpid());
  const char text[] = "from an installed quelib";
  char got[QUE_TEXT_MAX];
  int q = createque_del(key);
  if (q < 0) {
    fprintf(stderr, "consumer: createque_del: %s\n", err_code);
    return 1;
  }
  int status = 1;
  int n = -1;
  if (sendque(q, 7, text, strlen(text)) != 0) {
    fprintf(stderr, "consumer: sendque: %s\n", err_code);
  } else if (quefull(key, QUE_TEXT_MAX) != 0) {
    fprintf(stderr, "consumer: quefull says a fresh queue has no room\n");
  } else if ((n = recvque(q, 7, got)) < 0) {
    fprintf(stderr, "consumer: recvque: %s\n", err_code);
  } else if ((size_t)n != strlen(text) || memcmp(got, text, (size_t)n) != 0) {
    fprintf(stderr, "consumer: received %d bytes: %.*s\n", n, n, got);
  } else {
    status = 0;
  }
  if (disconnectque(q) != 0) {
    fprintf(stderr, "consumer: disconnectque failed\n");
    return 1;
  }
  if (connectque(key) >= 0 || strcmp(err_code, "00002") != 0) {
    fprintf(stderr, "consumer: the queue is still there after disconnectque\n");
    return 1;
  }
  if (status == 0) printf("ok %d\n", n);
  return status;
}
