#!/usr/bin/env bash
# Makes the damaged volumes of the check-and-repair oracle test: FAT12, FAT16 and FAT32
# images formatted by mkfs.fat and filled by mtools, then each given one or more faults by
# poking bytes. Usage: make_corpus.sh OUTDIR [12|16|32]
# Writes OUTDIR/NAME.img for each case and OUTDIR/manifest, one line per image: its name and
# the finding kinds the fault must bring (comma-separated), as Check Volume names them.
set -euo pipefail
# mkfs.fat lives in sbin, which a normal user's PATH lacks: the tests pass the path CMake
# found in MKFS_FAT, else it is looked for there.
mkfs_fat=${MKFS_FAT:-$(PATH=$PATH:/usr/sbin:/sbin command -v mkfs.fat || true)}
[ -x "$mkfs_fat" ] || { echo "make_corpus.sh: mkfs.fat not found (dosfstools)" >&2; exit 1; }
export MTOOLS_SKIP_CHECK=1 LC_ALL=C
out=$1 only=${2:-}
mkdir -p "$out"
: >"$out/manifest"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- Bytes of the image in IMG --------------------------------------------------------------
rd() { od -An -tu"$2" -j"$1" -N"$2" "$IMG" | tr -d ' \n'; }           # rd OFFSET SIZE
wrb() {                                                                 # wrb OFFSET HEX...
  local off=$1 s="" b; shift
  for b in "$@"; do s+="\\x$b"; done
  printf "$s" | dd of="$IMG" bs=1 seek="$off" conv=notrunc status=none
}
wrle() {                                                                # wrle OFFSET SIZE VALUE
  local off=$1 n=$2 v=$3 i bytes=()
  for ((i = 0; i < n; i++)); do bytes+=("$(printf %02x $(((v >> (8 * i)) & 255)))"); done
  wrb "$off" "${bytes[@]}"
}
# The geometry of IMG from its boot sector.
geo() {
  RSVD=$(rd 14 2) NFATS=$(rd 16 1) SPC=$(rd 13 1) ROOTENT=$(rd 17 2)
  FATSZ=$(rd 22 2) TOT=$(rd 19 2)
  [ "$TOT" = 0 ] && TOT=$(rd 32 4)
  [ "$FATSZ" = 0 ] && FATSZ=$(rd 36 4)
  DATA=$((RSVD + NFATS * FATSZ + (ROOTENT * 32 + 511) / 512))
  CLUSTERS=$(((TOT - DATA) / SPC))
  if ((CLUSTERS < 4085)); then BITS=12; elif ((CLUSTERS < 65525)); then BITS=16; else BITS=32; fi
}
coff() { echo $(((DATA + ($1 - 2) * SPC) * 512)); }                    # byte offset of cluster N
fatget() {                                                              # fatget N [COPY]
  local base=$(((RSVD + ${2:-0} * FATSZ) * 512)) v
  case $BITS in
  12) v=$(rd $((base + $1 * 3 / 2)) 2)
      if (($1 % 2)); then echo $((v >> 4)); else echo $((v & 0xFFF)); fi ;;
  16) rd $((base + $1 * 2)) 2 ;;
  32) rd $((base + $1 * 4)) 4 ;;
  esac
}
fatset1() {                                                             # fatset1 COPY N VALUE
  local base=$(((RSVD + $1 * FATSZ) * 512)) n=$2 v=$3 at old
  case $BITS in
  12) at=$((base + n * 3 / 2)) old=$(rd $((base + n * 3 / 2)) 2)
      if ((n % 2)); then v=$(((old & 0xF) | (v << 4))); else v=$(((old & 0xF000) | v)); fi
      wrle "$at" 2 "$v" ;;
  16) wrle $((base + n * 2)) 2 "$v" ;;
  32) wrle $((base + n * 4)) 4 "$v" ;;
  esac
}
fatset() { local k; for ((k = 0; k < NFATS; k++)); do fatset1 "$k" "$@"; done; }   # every copy
# The byte offset of the short entry named by 11 bytes (names are unique in the images).
entry() {
  local at
  at=$(grep -obUa -- "$1" "$IMG" | head -1 || true)  # grep may be cut off by head
  echo "${at%%:*}"
}
first() { local e; e=$(entry "$1"); echo $(($(rd $((e + 26)) 2) | ($(rd $((e + 20)) 2) << 16))); }
# The byte offset of a directory's first cluster, from the entry naming it.
dirsec() { coff "$(first "$1")"; }
# A free cluster well past the files.
freeclu() { echo $((CLUSTERS / 2)); }
eoc() { case $BITS in 12) echo 0xFFF ;; 16) echo 0xFFFF ;; 32) echo 0x0FFFFFFF ;; esac; }
bad() { case $BITS in 12) echo 0xFF7 ;; 16) echo 0xFFF7 ;; 32) echo 0x0FFFFFF7 ;; esac; }

# --- The three volumes the faults are poked into --------------------------------------------
data() { { seq "$2" "$(($2 + $1))" || true; } | head -c "$1"; }        # data SIZE SEED
base() {                                                                # base BITS [MKFS OPTIONS]
  local img=$work/base$1.img bits=$1
  shift
  case $bits in
  12) truncate -s 1440K "$img"; "$mkfs_fat" -F 12 -n TESTVOL "$@" "$img" >/dev/null ;;
  16) truncate -s 16M "$img"; "$mkfs_fat" -F 16 -s 4 -n TESTVOL "$@" "$img" >/dev/null ;;
  32) truncate -s 40M "$img"; "$mkfs_fat" -F 32 -s 1 -n TESTVOL "$@" "$img" >/dev/null ;;
  esac
  data 6 1 >"$work/h"; data 5000 2 >"$work/a"; data 1500 3 >"$work/b"; data 5000 4 >"$work/l"
  data 5000 5 >"$work/c"; data 1500 6 >"$work/d"; data 3000 7 >"$work/e"
  mcopy -i "$img" "$work/h" ::HELLO.TXT
  mcopy -i "$img" "$work/a" ::ALPHA.BIN
  mcopy -i "$img" "$work/b" ::BRAVO.BIN
  mcopy -i "$img" "$work/l" "::A long file name.dat"
  mmd -i "$img" ::SUBDIR ::SUBDIR/DEEP
  mcopy -i "$img" "$work/c" ::SUBDIR/CHARLIE.BIN
  mcopy -i "$img" "$work/d" ::SUBDIR/DELTA.BIN
  mcopy -i "$img" "$work/e" ::SUBDIR/DEEP/ECHO.TXT
}
for b in 12 16 32; do
  if [ -z "$only" ] || [ "$only" = $b ]; then base $b; fi
done

# case NAME BITS KINDS 'POKES': a copy of the volume, the pokes run with IMG set.
case_() {
  local name=$1 bits=$2 kinds=$3 pokes=$4
  [ -z "$only" ] || [ "$only" = "$bits" ] || return 0
  IMG=$out/$name.img
  cp --sparse=always "$work/base$bits.img" "$IMG"
  geo
  eval "$pokes"
  echo "$name $kinds" >>"$out/manifest"
}

# --- The boot sector and the sectors beside it ----------------------------------------------
case_ f32_boot_invalid 32 boot_sector_invalid 'wrb 13 03'
case_ f16_boot_signature 16 boot_signature_missing 'wrb 510 00 00'
case_ f32_backup_differs 32 backup_boot_differs 'wrb $((6 * 512 + 3)) 41'
case_ f32_backup_missing 32 backup_boot_missing 'wrle 50 2 0'
case_ f32_fsinfo_missing 32 fsinfo_missing,backup_boot_differs 'wrle 48 2 0'
case_ f32_fsinfo_signature 32 fsinfo_signature 'wrb 512 00'
case_ f32_fsinfo_trail 32 fsinfo_signature 'wrb $((512 + 510)) 00'
case_ f32_fsinfo_free 32 fsinfo_free_count 'wrle $((512 + 488)) 4 1234'
case_ f32_fsinfo_unknown 32 fsinfo_free_count_unknown 'wrle $((512 + 488)) 4 0xFFFFFFFF'
case_ f32_fsinfo_next 32 fsinfo_next_free 'wrle $((512 + 492)) 4 99999999'
case_ f16_dirty_boot 16 volume_dirty 'wrb 37 01'
case_ f12_dirty_boot 12 volume_dirty 'wrb 37 03'
case_ f32_dirty_boot 32 volume_dirty,backup_boot_differs 'wrb 65 01'
case_ f16_fat_dirty 16 fat_dirty_flag 'fatset 1 0x7FFF'
case_ f32_fat_dirty 32 fat_dirty_flag 'fatset 1 0x07FFFFFF'
case_ f32_fat_error 32 fat_error_flag 'fatset 1 0x0BFFFFFF'
case_ f16_fat_error 16 fat_error_flag 'fatset 1 0xBFFF'
case_ f12_media 12 media_mismatch 'fatset 0 0xFF8'
case_ f12_fat1_entry 12 reserved_entry_wrong 'fatset 1 0x123'
case_ f16_fat0_broken 16 fat_copies_differ 'fatset1 0 0 0x12F8'

# --- The file allocation tables -------------------------------------------------------------
case_ f16_fat2_differs 16 fat_copies_differ 'fatset1 1 $(($(first "ALPHA   BIN") + 1)) 0'
case_ f12_fat1_differs 12 fat_copies_differ,chain_into_free 'fatset1 0 $(($(first "ALPHA   BIN") + 2)) 0'
case_ f12_entry_reserved 12 fat_entry_reserved,lost_chain 'fatset $(($(first "ALPHA   BIN") + 1)) 0xFF3'
case_ f16_entry_out_of_range 16 fat_entry_out_of_range 'fatset $(($(first "CHARLIE BIN") + 1)) 0xF000'
case_ f32_entry_one 32 fat_entry_reserved,file_size_too_large 'fatset $(($(first "ALPHA   BIN") + 3)) 1'
case_ f32_lost_out_of_range 32 fat_entry_out_of_range,lost_chain 'fatset $(freeclu) 0x0FFFFF00'

# --- Chains ---------------------------------------------------------------------------------
case_ f12_loop_past_size 12 chain_loop 'a=$(first "ALPHA   BIN"); fatset $((a + 9)) $a'
case_ f16_loop_in_size 16 chain_loop,file_size_too_large,lost_chain 'a=$(first "CHARLIE BIN"); fatset $((a + 1)) $a'
case_ f32_directory_loop 32 chain_loop 'd=$(first "DEEP       "); fatset $d $d'
case_ f12_cross_link 12 cross_link,lost_chain 'fatset $(first "BRAVO   BIN") $(($(first "ALPHA   BIN") + 5))'
case_ f16_cross_link_dir 16 cross_link 'fatset $(first "DELTA   BIN") $(first "DEEP       ")'
case_ f32_cross_link_first 32 cross_link,lost_chain 'e=$(entry "BRAVO   BIN"); wrle $((e + 26)) 2 $(first "ALPHA   BIN")'
case_ f16_into_free 16 chain_into_free,file_size_too_large,lost_chain 'fatset $(($(first "ALPHA   BIN") + 1)) 0'
case_ f32_into_free_far 32 chain_into_free,file_size_too_large,lost_chain 'a=$(first "CHARLIE BIN"); fatset $((a + 4)) $(freeclu)'
case_ f32_into_bad 32 chain_into_bad 'a=$(first "ALPHA   BIN"); f=$(freeclu); fatset $((a + 9)) $f; fatset $f $(bad)'
case_ f12_lost 12 lost_chain 'f=$(freeclu); fatset $f $((f + 1)); fatset $((f + 1)) $((f + 2)); fatset $((f + 2)) $(eoc)'
case_ f16_lost_cycle 16 lost_chain 'f=$(freeclu); fatset $f $((f + 1)); fatset $((f + 1)) $f'
case_ f32_lost_into_file 32 lost_chain 'f=$(freeclu); fatset $f $(($(first "ALPHA   BIN") + 3))'
case_ f12_size_too_large 12 file_size_too_large 'e=$(entry "HELLO   TXT"); wrle $((e + 28)) 4 100000'
case_ f32_chain_too_long 32 file_chain_too_long 'e=$(entry "ALPHA   BIN"); wrle $((e + 28)) 4 100'
case_ f16_directory_size 16 directory_non_zero_size 'e=$(entry "SUBDIR     "); wrle $((e + 28)) 4 1234'
case_ f12_empty_with_clusters 12 empty_file_with_clusters 'e=$(entry "HELLO   TXT"); wrle $((e + 28)) 4 0'
case_ f16_first_out_of_range 16 first_cluster_out_of_range,lost_chain 'e=$(entry "HELLO   TXT"); wrle $((e + 26)) 2 60000'
case_ f32_first_one 32 first_cluster_out_of_range,lost_chain 'e=$(entry "BRAVO   BIN"); wrle $((e + 26)) 2 1; wrle $((e + 20)) 2 0'

# --- Directories ----------------------------------------------------------------------------
case_ f12_bad_name 12 bad_short_name 'wrb $(entry "HELLO   TXT") 48 45 4c 2a'
case_ f32_bad_name_control 32 bad_short_name 'wrb $(($(entry "BRAVO   BIN") + 2)) 01'
case_ f16_bad_name_blank 16 bad_short_name 'wrb $(entry "CHARLIE BIN") 20'
case_ f16_duplicate 16 duplicate_name 'wrb $(entry "BRAVO   BIN") 41 4c 50 48 41'
case_ f12_duplicate_long 12 duplicate_name 'wrb $(entry "ALONGF~1DAT") 41 4c 50 48 41 20 20 20 42 49 4e'
case_ f12_dot 12 bad_dot_entry 's=$(dirsec "SUBDIR     "); wrle $((s + 26)) 2 7'
case_ f32_dotdot 32 bad_dot_entry 's=$(dirsec "DEEP       "); wrle $((s + 32 + 26)) 2 9'
case_ f16_dot_free 16 bad_dot_entry 's=$(dirsec "SUBDIR     "); wrb $s e5'
case_ f12_lfn_orphan 12 lfn_orphan,lost_chain 'wrb $(entry "ALONGF~1DAT") e5'
case_ f16_lfn_no_last_flag 16 lfn_orphan 'wrb $(($(entry "ALONGF~1DAT") - 64)) 02'
case_ f32_lfn_new_within_old 32 lfn_orphan 'wrb $(($(entry "ALONGF~1DAT") - 32)) 41'
case_ f32_lfn_checksum 32 lfn_bad_checksum 'wrb $(($(entry "ALONGF~1DAT") - 64 + 13)) 00'
case_ f12_lfn_short_changed 12 lfn_bad_checksum 'wrb $(entry "ALONGF~1DAT") 42'
case_ f16_lfn_fields 16 lfn_piece_fields 'e=$(entry "ALONGF~1DAT"); wrle $((e - 64 + 26)) 2 5; wrb $((e - 32 + 12)) 07'
case_ f12_second_label 12 extra_volume_label 'e=$(entry "SUBDIR     "); wrb $((e + 32)) 4c 41 42 45 4c 32 20 20 20 20 20 08'
case_ f32_label_in_subdir 32 extra_volume_label 's=$(dirsec "SUBDIR     "); e=$(entry "DELTA   BIN"); wrb $((e + 32)) 53 55 42 4c 41 42 45 4c 20 20 20 08'
case_ f16_directory_label_attr 16 impossible_attributes 'wrb $(($(entry "SUBDIR     ") + 11)) 18'
case_ f12_reserved_attr 12 impossible_attributes 'wrb $(($(entry "HELLO   TXT") + 11)) e0'

# --- Several at once ------------------------------------------------------------------------
case_ f32_several 32 volume_dirty,cross_link,lost_chain,fsinfo_free_count,bad_short_name '
  wrb 65 01; fatset $(first "DELTA   BIN") $(($(first "CHARLIE BIN") + 1))
  f=$(freeclu); fatset $f $(eoc); wrle $((512 + 488)) 4 7; wrb $(entry "HELLO   TXT") 3f'
case_ f16_several 16 chain_loop,directory_non_zero_size,lfn_orphan,fat_copies_differ '
  a=$(first "ALPHA   BIN"); fatset $((a + 2)) $a; e=$(entry "SUBDIR     "); wrle $((e + 28)) 4 9
  wrb $(entry "ALONGF~1DAT") e5; fatset1 1 $(($(first "BRAVO   BIN"))) 0'
