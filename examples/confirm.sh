#!/bin/sh
# Asks for a value, has the user confirm it, and shows what came of it.
# Needs askbox, pickbox, mqtool and notebox on the search path.

# A queue of this run's own, removed when the script ends, Ctrl-C included.
JUX_QUEID=$(mqtool -n) || exit 1; export JUX_QUEID; trap 'mqtool -d "$JUX_QUEID"' EXIT
trap 'exit 1' HUP INT TERM

answer=$(askbox 'Your name?' NAME) && name=${answer#NAME=} || exit 1
[ -n "$name" ] || { notebox "No name given"; exit 1; }

# Only read the queue when pickbox says a choice was posted on it.
if pickbox Yes No "Keep $name?" && [ "$(mqtool -r "$JUX_QUEID")" = Yes ]; then
    notebox "Saved: $name"
else
    notebox "Nothing saved"
    exit 1
fi
