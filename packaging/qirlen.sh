#!/bin/sh
# The program lives with its engine module under lib/qirlen; this starts it from bin.
here="$(dirname "$(readlink -f "$0")")"
exec "$here/../lib/qirlen/qirlen" "$@"
