#!/usr/bin/env bash
# Writes one sample image of each kind into DIR (default: samples):
# sample-load.bin, sample-appl.bin and sample-ldap.bin. Each is the 16-byte
# header ("ZKMR", four free bytes, "29", two free bytes, the kind) followed
# by 0xFF, as erased flash reads, up to the kind's exact size.
#
#   tools/make-sample-images.sh [DIR]
set -euo pipefail

dir=${1:-samples}
mkdir -p "$dir"

write_image() {
    local name=$1 kind=$2 size=$3
    {
        printf 'ZKMR'
        printf '\0\0\0\0'
        printf '29'
        printf '\0\0'
        printf '%s' "$kind"
        head -c $((size - 16)) /dev/zero | tr '\0' '\377'
    } >"$dir/$name"
}

write_image sample-load.bin LOAD 66560
write_image sample-appl.bin APPL 590848
write_image sample-ldap.bin LDAP 1049600
echo "sample images in $dir: sample-load.bin sample-appl.bin sample-ldap.bin"
