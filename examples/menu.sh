#!/bin/sh
# A menu that comes back after every action until the user picks Quit
# (or presses q). Needs pickbox and mqtool on the search path.

# One queue for this script; every choice is taken off it right away.
JUX_QUEID=${JUX_QUEID:-40001}
export JUX_QUEID

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
