#!/bin/sh
# Runs a 64-bit ARM Linux program (package qemu-user), with the cross
# toolchain's libraries (package g++-aarch64-linux-gnu).
exec qemu-aarch64 -L /usr/aarch64-linux-gnu "$@"
