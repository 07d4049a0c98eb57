#!/usr/bin/env bash
# Writes the COMMANDS section of keltrove-cli(1), as a help2man include, from each
# command's own --help, so the manual page says what the program says.
#   cli-commands.sh KELTROVE-CLI > commands.h2m
set -euo pipefail
cli=$1
# awk reads the help to its end: leaving early could kill the writer with SIGPIPE, which
# pipefail would count as a failure.
commands=$("$cli" --help | awk '/^Subcommands:/ { on = 1; next } NF == 0 { on = 0 } on { print $1 }')

echo "[COMMANDS]"
for command in $commands; do
    "$cli" "$command" --help | awk '
        function roff(text) { gsub(/\\/, "\\\\", text); gsub(/-/, "\\-", text); return text }
        NR == 1 { summary = $0; next }
        /^Usage: / { sub(/^Usage: /, ""); sub(/ \[OPTIONS\]/, ""); usage = $0; next }
        /^(Positionals|Options):$/ { section = $0; next }
        section != "" && NF == 0 { section = ""; next }
        section != "" && /^  / {
            split(substr($0, 3), parts, /  +/)
            name = parts[1]; text = parts[2]
            if (name == "-h,--help") next
            if (sub(/ REQUIRED$/, "", name)) text = text " (required)"
            if (section == "Positionals:") sub(/ .*/, "", name)
            sub(/ \.\.\.$/, "...", name); sub(/,/, ", ", name)
            names[++count] = name; texts[count] = text
        }
        END {
            print ".TP"
            print "\\fB" roff(usage) "\\fR"
            print roff(summary) "."
            if (count == 0) exit
            print ".RS"
            for (i = 1; i <= count; ++i) {
                print ".TP"
                print "\\fB" roff(names[i]) "\\fR"
                print roff(texts[i])
            }
            print ".RE"
        }'
done
