// mqtool's work for one command line: the walk of its letters (mqwalk.h) and
// the queue operations, output lines and exit status of each action.
#pragma once

namespace mqrun {

// Does what the command line asks and gives the exit status: 0 when the walk
// is complete and every queue operation worked, 2 when the walk is complete
// but a queue operation failed (its line is on standard output), 1 when the
// command line is refused or there is no standard output to receive to, 2
// at once when a received text could not be written (it is put back on its
// queue). Every refusal and write failure is one line on standard error.
int run(int argc, char** argv);

}  // namespace mqrun
