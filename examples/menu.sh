#!/bin/sh
# A menu that comes back after every action until the user picks Quit
# (or presses q). Needs pickbox and mqtool on the search path.

# A queue of this run's own, gone when the script ends, however it ends: no
# choice of another run or script can answer this one.
JUX_QUEID=$(mqtool -n) || exit 1; export JUX_QUEID

while pickbox "Date and time" "Free disk space" "Who is logged in" Quit "Main menu"; do
    choice=$(mqtool -r "$JUX_QUEID") || { echo "$choice" >&2; exit 1; }
    case $choice in
        "Date and time")    date ;;
        "Free disk space")  df -h . ;;
        "Who is logged in") who ;;
        Quit)               break ;;
    esac
    printf 'Press Enter for the menu. '
    read -r _ || break
done
