#!/bin/sh
# Makes a folder whose named entries are links to /dev/full: writing to them fails as on a
# full disk. Usage: make-full-disk-links.sh FOLDER NAME...
set -e
folder=$1
shift
rm -rf "$folder"
mkdir -p "$folder"
for name in "$@"; do ln -s /dev/full "$folder/$name"; done
