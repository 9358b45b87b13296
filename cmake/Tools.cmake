# The programs the build, the sample volumes and the tests run. Tools for making file systems
# and attaching devices live in /sbin or /usr/sbin, which a normal user's PATH lacks: they are
# found here, the sbin folders included, and passed on by full path (to the sample-volume
# script through its environment, to the tests through the generated test_tools.h).
find_program(DULVEX_MKFS_FAT NAMES mkfs.fat mkfs.vfat PATHS /sbin /usr/sbin)
find_program(DULVEX_MKFS_EXT2 NAMES mkfs.ext2 mke2fs PATHS /sbin /usr/sbin)
find_program(DULVEX_LOSETUP NAMES losetup PATHS /sbin /usr/sbin)
find_program(DULVEX_MCOPY NAMES mcopy)
find_program(DULVEX_FSCK_FAT NAMES fsck.fat fsck.vfat dosfsck PATHS /sbin /usr/sbin)
