#!/bin/sh
# Asks for a password without showing it, and once more to be sure, then
# hands it to a command on its standard input, never on a command line (where
# any user could read it in the process list).
# Needs askbox and notebox on the search path.

ask() {
    answer=$(askbox -s "$1" PW) || return 1   # Esc, Ctrl-D or a failure
    printf '%s' "${answer#PW=}"
}

while :; do
    first=$(ask 'New password for the backup key:') || exit 1
    [ -n "$first" ] || { notebox "An empty password is not taken"; continue; }
    second=$(ask 'The same once more:') || exit 1
    [ "$first" = "$second" ] && break
    notebox "The two did not match; once more"
done

# printf is built into the shell, so the password is on no command line.
# Replace cat with the command that takes it on standard input, such as
# cryptsetup --key-file=- or gpg --passphrase-fd 0.
printf '%s\n' "$first" | cat >/dev/null
unset first second answer
notebox "Password set"
