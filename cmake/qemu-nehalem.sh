#!/bin/sh
# Runs an x86-64 Linux program on an emulated CPU without AVX (package
# qemu-user): any AVX instruction that leaks into the portable path faults.
exec qemu-x86_64 -cpu Nehalem "$@"
