// mqtool's work for one command line: the walk of its letters (mqwalk.h) and
// the queue operations, output lines and exit status of each action.
#pragma once

namespace mqrun {

// Does what the command line asks and gives the exit status: 0 when the walk
// is complete and every queue operation worked, 2 when the walk is complete
// but a queue operation failed (its line is on standard output; for a new
// queue or a removal, on standard error), 1 when the command line is refused
// or there is no standard output to print to, 2 at once when a received text
// or a new key could not be written (the text is put back on its queue, the
// new queue removed). Every refusal and write failure is one line on
// standard error.
int run(int argc, char** argv);

}  // namespace mqrun
