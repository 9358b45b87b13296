#!/bin/sh
# Starts Dulvex Hex Editor from the user's own folder.
#
# The program reads HELP.rtf and the drive letters in drives/ from the folder of its
# executable, and drives/ must be writable by the user (pasting writes to the volumes). The
# installed folder <prefix>/lib/dulvex is not, so this launcher keeps a per-user folder
#   ${XDG_DATA_HOME:-~/.local/share}/dulvex
# with a copy of the executable (the program finds its folder through the real path of the
# executable, so a symbolic link would not do), a link to the installed HELP.rtf, and
# drives/ with a copy of each installed sample volume that the user does not have yet.
# Letters the user binds there (ln -s /dev/sdb1 drives/E) are never touched.
set -eu

self=$(readlink -f "$0")
lib=$(cd "$(dirname "$self")/../lib/dulvex" && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}/dulvex

mkdir -p "$data/drives"

# The executable: refreshed when the installed one differs (after an upgrade).
if ! cmp -s "$lib/dulvex" "$data/dulvex"; then
  cp "$lib/dulvex" "$data/dulvex.new"
  chmod 755 "$data/dulvex.new"
  mv -f "$data/dulvex.new" "$data/dulvex"
fi

ln -sfn "$lib/HELP.rtf" "$data/HELP.rtf"

# Sample volumes: copied once; the user's copies and own entries stay as they are.
for volume in "$lib/drives"/*; do
  [ -e "$volume" ] || continue
  letter=$(basename "$volume")
  if [ ! -e "$data/drives/$letter" ] && [ ! -L "$data/drives/$letter" ]; then
    cp --sparse=always "$volume" "$data/drives/$letter"
    chmod u+rw "$data/drives/$letter"
  fi
done

cd "$data"
exec "$data/dulvex" "$@"
