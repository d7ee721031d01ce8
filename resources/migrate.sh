#!/bin/bash
# Runs once at every start, before anything else, with /bin/bash.
# Brings the user's folders into the shape this version expects:
#  - the application-data folder (library, presets, relay playlist, user scripts) exists
#    and is private to the user;
#  - temporary files left by a write that was interrupted (a crash or a power cut while
#    saving) are removed once they are a day old; the files they were meant to replace are
#    complete, because every save goes through a temporary file and a rename.
# Nothing here may stop the start: every step tolerates failure.

data_home="${XDG_DATA_HOME:-$HOME/.local/share}"
config_home="${XDG_CONFIG_HOME:-$HOME/.config}"

for folder in "$data_home/Orvanta" "$config_home/Orvanta"; do
    mkdir -p -- "$folder" 2>/dev/null && chmod 700 -- "$folder" 2>/dev/null
    find "$folder" -maxdepth 1 -type f -name '.*.tmp-??????' -mtime +0 -delete 2>/dev/null
done
exit 0
