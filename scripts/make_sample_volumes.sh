#!/usr/bin/env bash
# Makes the sample volumes that the program shows on a fresh machine, with mkfs.fat and mtools:
#   DIR/A  a 1.44 MB FAT12 floppy (2880 sectors)
#   DIR/C  FAT32, one sector per cluster, 262144 sectors (128 MiB, sparse): ~260,000 clusters
#   DIR/D  FAT16, 65536 sectors (32 MiB, sparse)
# Each holds a volume label, files with 8.3 names and known sizes, a file whose long name takes
# two long-name pieces, a subdirectory with a file in it, and a deleted file.
#
# Usage: make_sample_volumes.sh DIR [LETTER...]   (letters default to A C D)
# An entry of DIR that is a symbolic link (a user's own device or image) is never touched.
# MKFS_FAT names mkfs.fat (the build passes the one CMake found); else it is looked for on the
# PATH and in the sbin folders, which a normal user's PATH lacks.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 DIR [A] [C] [D]" >&2
  exit 2
fi
dir=$1
shift
letters=("$@")
[ ${#letters[@]} -gt 0 ] || letters=(A C D)

mkfs_fat=${MKFS_FAT:-}
if [ -z "$mkfs_fat" ]; then
  mkfs_fat=$(PATH=$PATH:/usr/sbin:/sbin command -v mkfs.fat || true)
fi
if [ ! -x "$mkfs_fat" ]; then
  echo "sample volumes: mkfs.fat not found (install dosfstools: scripts/setup.sh)" >&2
  exit 1
fi

export MTOOLS_SKIP_CHECK=1
export MTOOLS_NO_VFAT=0
mkdir -p "$dir"
work=$(mktemp -d "${TMPDIR:-/tmp}/dulvex-volumes.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A file of exactly $2 bytes, the same on every run: a repeated line of text.
make_file() {
  local file=$1 size=$2 line=$3
  if [ "$size" -eq 0 ]; then
    : >"$file"
  else
    yes "$line" | head -c "$size" >"$file" || true
  fi
}

# Fills image $1 (label $2 already set by mkfs.fat) with the common set of files.
fill() {
  local img=$1 tag=$2
  local src=$work/src-$tag
  mkdir -p "$src"
  make_file "$src/README.TXT" 1234 "Dulvex sample volume $tag."
  make_file "$src/DATA.BIN" 5000 "0123456789ABCDEF"
  make_file "$src/EMPTY.DAT" 0 ""
  make_file "$src/DELETED.TXT" 700 "This file was deleted."
  make_file "$src/Long File Name.txt" 2048 "A file with a long name."
  make_file "$src/INSIDE.TXT" 300 "A file inside a subdirectory."
  local m=(-i "$img")
  mcopy "${m[@]}" "$src/README.TXT" ::README.TXT
  mcopy "${m[@]}" "$src/DELETED.TXT" ::DELETED.TXT
  mcopy "${m[@]}" "$src/DATA.BIN" ::DATA.BIN
  mcopy "${m[@]}" "$src/Long File Name.txt" "::Long File Name.txt"
  mcopy "${m[@]}" "$src/EMPTY.DAT" ::EMPTY.DAT
  mmd "${m[@]}" ::SUBDIR
  mcopy "${m[@]}" "$src/INSIDE.TXT" ::SUBDIR/INSIDE.TXT
  mdel "${m[@]}" ::DELETED.TXT
}

make_volume() {
  local letter=$1 dest=$dir/$1 img=$work/$1.img
  if [ -L "$dest" ]; then
    echo "sample volumes: $dest is a symbolic link; left alone."
    return
  fi
  case $letter in
    A)
      truncate -s $((2880 * 512)) "$img"
      "$mkfs_fat" -F 12 -n "DULVEX A" -i 0A0A0A0A "$img" >/dev/null
      ;;
    C)
      truncate -s $((262144 * 512)) "$img"
      "$mkfs_fat" -F 32 -s 1 -n "DULVEX C" -i 0C0C0C0C "$img" >/dev/null
      ;;
    D)
      truncate -s $((65536 * 512)) "$img"
      "$mkfs_fat" -F 16 -n "DULVEX D" -i 0D0D0D0D "$img" >/dev/null
      ;;
    *)
      echo "sample volumes: no sample volume for letter $letter" >&2
      exit 2
      ;;
  esac
  fill "$img" "$letter"
  # Checked again right before the move: a link made meanwhile is still never replaced.
  if [ -L "$dest" ]; then
    echo "sample volumes: $dest is a symbolic link; left alone."
    return
  fi
  mv -f "$img" "$dest"
  echo "sample volumes: made $dest"
}

for l in "${letters[@]}"; do
  make_volume "$l"
done
