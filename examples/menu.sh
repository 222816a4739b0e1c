#!/bin/sh
# A menu that comes back after every action until the user picks Quit
# (or presses q). Needs pickbox and mqtool on the search path.

# One queue for this script, its own user's unless JUX_QUEID names one;
# every choice is taken off it right away, and the queue goes when the
# script ends, so a choice left over cannot answer the next run.
JUX_QUEID=${JUX_QUEID:-$((40000 + $(id -u)))}
export JUX_QUEID
trap 'ipcrm -Q "$JUX_QUEID" 2>/dev/null' EXIT
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
