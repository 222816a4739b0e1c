#!/bin/sh
# A menu that comes back after every action until the user picks Quit
# (or presses q). Needs pickbox and mqtool on the search path.

# A queue of this run's own, removed when the script ends, Ctrl-C included:
# no choice of another run or script can answer this one.
JUX_QUEID=$(mqtool -n) || exit 1; export JUX_QUEID; trap 'mqtool -d "$JUX_QUEID"' EXIT
trap 'exit 1' HUP INT TERM

while pickbox "Date and time" "Free disk space" "Who is logged in" Quit "Main menu"; do
    choice=$(mqtool -r "$JUX_QUEID") || break
    case $choice in
        "Date and time")    date ;;
        "Free disk space")  df -h . ;;
        "Who is logged in") who ;;
        Quit)               break ;;
    esac
    printf 'Press Enter for the menu. '
    read -r _ || break
done
