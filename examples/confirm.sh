#!/bin/sh
# Asks for a value, has the user confirm it, and shows what came of it.
# Needs askbox, pickbox, mqtool and notebox on the search path.

# A queue of this run's own: it goes when the script ends, however it ends.
JUX_QUEID=$(mqtool -n) || exit 1; export JUX_QUEID

answer=$(askbox 'Your name?' NAME) && name=${answer#NAME=} || exit 1
[ -n "$name" ] || { notebox "No name given"; exit 1; }

# Only read the queue when pickbox says a choice was posted on it; a failing
# mqtool -r prints its error line where the answer would be.
keep=No
if pickbox Yes No "Keep $name?"; then
    keep=$(mqtool -r "$JUX_QUEID") || { echo "$keep" >&2; exit 1; }
fi
if [ "$keep" = Yes ]; then
    notebox "Saved: $name"
else
    notebox "Nothing saved"
    exit 1
fi
