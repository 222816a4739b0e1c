// mqtool: sends one text on a System V message queue, or receives one and
// prints it: "mqtool -s que-id text tag", "mqtool -r que-id"; makes a queue
// of the user's own for one run, or removes one: "mqtool -n", "mqtool -d
// que-id"; see man/mqtool.1. It is started once per message, so it links
// the C library only: C headers, no exceptions, no RTTI, nothing before the
// walk.
#include "mqrun.h"

int main(int argc, char** argv) { return mqrun::run(argc, argv); }
