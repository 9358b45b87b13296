#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/<target>/: sectors of the
# sample volumes, pieces of assets/HELP.rtf and number texts. The seeds are kept in the
# repository; run this again only to remake them (after the sample volumes or the guide
# changed), then review the difference.
# Usage: tests/fuzz/make_seeds.sh [DRIVES_DIR]   (defaults to build/bin/drives)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
drives=${1:-$root/build/bin/drives}
corpus=$root/tests/fuzz/corpus
for v in A C D; do
  [ -f "$drives/$v" ] || { echo "no sample volume $drives/$v (build the project first)" >&2; exit 1; }
done

fresh() {  # an empty corpus folder for target $1
  rm -rf "${corpus:?}/$1"
  mkdir -p "$corpus/$1"
  echo "$corpus/$1"
}
sector() {  # sector $2 of volume $1
  dd if="$drives/$1" bs=512 skip="$2" count=1 status=none
}

# The sample volumes: A FAT12 (root directory at 19, SUBDIR at 52), C FAT32 (root at 4066,
# SUBDIR at 4086, backup boot sector at 6), D FAT16 (root at 132).
out=$(fresh boot_sector_fuzz)
for v in A C D; do sector $v 0 >"$out/$v-sector0"; done
sector C 6 >"$out/C-sector6-backup"

out=$(fresh dir_sector_fuzz)
sector A 19 >"$out/A-root"
sector A 52 >"$out/A-subdir"
sector C 4066 >"$out/C-root"
sector C 4086 >"$out/C-subdir"
sector D 132 >"$out/D-root"
rm -rf "$corpus/dir_window_fuzz"
ln -s dir_sector_fuzz "$corpus/dir_window_fuzz"  # the same sectors, through the window

# The whole flow: sector 0, the root directory, a cluster for Go to Cluster, typed sectors.
out=$(fresh volume_flow_fuzz)
for v in "A 19" "C 4066" "D 132"; do
  set -- $v
  { sector "$1" 0; sector "$1" "$2"; printf '3\x00%s\x00&H1\x00-1\x00' "$2"; } >"$out/$1-flow"
done

# The guide in pieces of at most 4 KiB: its header (fonts and colours) and a run of whole
# lines of its body each.
out=$(fresh rtf_fuzz)
awk -v out="$out" '
  NR <= 3 { header = header $0 "\n"; next }
  /^\{\\info/ { next }
  { if (length(body) + length($0) > 4096 - length(header) - 2) flush(); body = body $0 "\n" }
  END { flush() }
  function flush() { if (body == "") return; f = sprintf("%s/help-%02d.rtf", out, ++n)
                     printf "%s%s}", header, body > f; close(f); body = "" }
' "$root/assets/HELP.rtf"
# What the guide does not use: Unicode with surrogates and fallback, hex escapes, binary
# data, ignorable destinations, deep groups, tables.
printf '%s' '{\rtf1\uc2\u-10179\u-8694?? \u8364? \'"'"'e9\'"'"'80 {\*\unknown x}{\pict\bin4 {{}}}' \
  '{{{{{{\b\i\ul deep}}}}}}\cell\row\tab\line\emdash\~\_\-\qr\qj\li-5\fi99999\fs0\cf99 end}' \
  >"$out/features.rtf"

# Typed numbers: plain, hexadecimal, octal, exponents, blanks, signs, the limits.
out=$(fresh numbers_fuzz)
n=0
for text in "0" "19" "2.5" "-0" "-1.5" ".5" "1E+308" "1E-05" "1D3" "&H1F" "&hFFFFFFFF" "&O17" \
  " 1 2" "2147483647.5" "-2147483648.5" "4294967295" "1.79769313486232E+308" "12abc"; do
  n=$((n + 1))
  printf '%s' "$text" >"$out/$(printf %02d $n)"
done

# The window's number boxes: path byte, two bytes of cell or volume numbers, the texts.
out=$(fresh number_boxes_fuzz)
printf '\x00\x00\x00''19\x00&H1F\x00-1\x002147483648\x00' >"$out/sector-box"
printf '\x01\x01\x14''2\x002.5\x001E+308\x00-0\x00' >"$out/go-to-cluster"
printf '\x02\x00\x08''600\x00-1\x00510.5\x00' >"$out/paste-offset"
printf '\x03\x01\xFF''E5\x00' >"$out/board-hex"
printf '\x04\x01\xFC''Dulvex \xE2\x82\xAC\x00' >"$out/board-text"

# lsblk's answers: the saved samples, an older lsblk's texts, a size past 64 bits, escapes.
out=$(fresh lsblk_json_fuzz)
cp "$root/tests/lsblk/loops.json" "$root/tests/lsblk/machine.json" "$out/"
printf '%s' '{"blockdevices": [{"name": "sdb", "size": "8006926336", "rm": "1", "ro": 0,' \
  ' "type": "disk", "mountpoint": "/media/st\u00e9\ud83d\ude00", "children": [{"name": "sdb1",' \
  ' "size": 18446744073709551616, "mountpoints": [null, "/mnt"]}]}]}' \
  >"$out/old-lsblk-and-limits.json"
printf '18446744073709551615' >"$out/largest-size"

# Command lines, arguments separated by bytes 0.
out=$(fresh command_line_fuzz)
printf -- '--drive\0E=/dev/null\0/etc/passwd' >"$out/drive-and-path"
printf -- '--drives=/tmp\0--drive=a:=/etc/passwd\0--\0-x' >"$out/drives-folder-and-dashes"
printf -- '/no/such\nname.img' >"$out/newline-in-name"
printf -- '--help\0--bogus' >"$out/help"
printf -- '--drive\0S=/etc/passwd' >"$out/bad-letter"
printf -- '--check\0/no/such\nname.img' >"$out/check-newline-in-name"
printf -- '--check\0/etc/passwd\0--codepage=\033[2J' >"$out/check-escape-in-code-page"

# Rows of the write journal (journal_rows_fuzz): a byte for the number of rows, then for each
# column a kind byte and its data; kind 5 is the column's usual value, picked by the next byte
# (a number, a drive letter, a state), or 512 bytes for the bytes before and after.
out=$(fresh journal_rows_fuzz)
byte() { printf "\\x$(printf %02x "$1")"; }
u() { byte 5; byte "$1"; }
sector512() { byte 5; head -c 512 /dev/zero | tr '\0' "\\$(printf %03o "$1")"; }
row() {  # ID UNDOES GENERATION STATE-PICK BEFORE-KIND
  u "$1"; u 9; u 0; u 0; u 0; u 0; u 7; u 3; u 200; u 0; u 0; u 40; u "$4"; u 0
  if [ "$2" = 0 ]; then byte 0; else u "$2"; fi
  u "$3"; u 0; u 1; u 0; u 0; u 1
  if [ "$5" = short ]; then byte 4; byte 3; byte 0; printf 'abc'; else sector512 17; fi
  sector512 171
}
{ byte 0; row 1 0 0 1 full; } >"$out/one-written"
{ byte 2; row 1 0 0 1 full; row 2 1 1 1 full; row 3 2 2 4 full; } >"$out/write-undo-redo"
{ byte 1; row 1 0 0 1 short; row 3 0 0 4 full; } >"$out/short-before"
{ byte 0; byte 3; byte 4; printf 'text'; row 1 0 0 6 full; } >"$out/text-id-bad-state"
