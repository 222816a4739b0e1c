/* A C program with a global err_code of its own, of another type, that uses
 * the queue library: it must link, and a failure the library records must
 * reach the library's buffer and leave the program's variable alone. */
#include <stdio.h>
#include <string.h>

#include "quelib.h"
#include "testkey.h"

#undef err_code
int err_code = 4242;

int main(void) {
  key_t missing = test_key(8);
  if (connectque(missing) != -1) {
    puts("connectque found a queue under a key that has none");
    return 1;
  }
  if (strcmp(quelib_err_code, "00002") != 0 || err_code != 4242) {
    printf("library's code '%s', program's err_code %d\n", quelib_err_code, err_code);
    return 1;
  }
  return 0;
}
