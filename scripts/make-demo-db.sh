#!/bin/sh
# make-demo-db.sh OUTDIR
#
# Builds OUTDIR/demo.sqlite, the demo database of oci-lite (connect string "demo"), from
# scripts/demo-db.sql with the sqlite3 command-line tool (Debian package sqlite3).
# Users: SCOTT/TIGER, HR/HR, BLAKE/tiger, SYS/ORACLE (AS SYSDBA), SYSTEM/MANAGER (reads the
# DBA_ views).
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 OUTDIR" >&2
  exit 2
fi
if ! command -v sqlite3 >/dev/null 2>&1; then
  echo "make-demo-db: the sqlite3 tool is missing (apt-get install sqlite3)" >&2
  exit 1
fi
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1"
out=$1/demo.sqlite
tmp=$1/demo.sqlite.tmp.$$
rm -f "$tmp"
trap 'rm -f "$tmp"' EXIT
sqlite3 -bail "$tmp" < "$here/demo-db.sql"
mv -f "$tmp" "$out"
echo "$out"
