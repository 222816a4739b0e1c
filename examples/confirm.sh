#!/bin/sh
# Asks for a value, has the user confirm it, and shows what came of it.
# Needs askbox, pickbox, mqtool and notebox on the search path.

JUX_QUEID=${JUX_QUEID:-40002}
export JUX_QUEID

answer=$(askbox 'Your name?' NAME) && name=${answer#NAME=} || exit 1
[ -n "$name" ] || { notebox "No name given"; exit 1; }

# Only read the queue when pickbox says a choice was posted on it.
if pickbox Yes No "Keep $name?" && [ "$(mqtool -r "$JUX_QUEID")" = Yes ]; then
    notebox "Saved: $name"
else
    notebox "Nothing saved"
    exit 1
fi
