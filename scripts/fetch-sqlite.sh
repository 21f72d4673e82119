#!/bin/sh
# fetch-sqlite.sh DEST
#
# Puts SQLite's amalgamation (sqlite3.c, sqlite3.h) into DEST for oci-lite, our test OCI.DLL.
# The amalgamation comes from the npm registry's better-sqlite3 package (deps/sqlite3/), pinned
# to one version and checked against a pinned sha256. The package tarball is kept in
# third_party/cache/ so every build folder shares one download; DEST is refreshed only when the
# pinned version changes.
set -eu

PACKAGE=better-sqlite3
VERSION=12.11.1
SHA256=ebf0ed75a7a59dbcb3b24bbd014ef49d9f15bc328e4adcbf516f2a8fadfa2835

if [ $# -ne 1 ]; then
  echo "usage: $0 DEST" >&2
  exit 2
fi
dest=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cache=$root/third_party/cache
tarball=$cache/$PACKAGE-$VERSION.tgz
stamp=$dest/.sqlite-from-$PACKAGE-$VERSION

if [ -f "$stamp" ] && [ -f "$dest/sqlite3.c" ] && [ -f "$dest/sqlite3.h" ]; then
  exit 0
fi

# Checks the cached tarball against the pinned digest; prints nothing, fails on a mismatch.
verify() {
  echo "$SHA256  $1" | sha256sum -c --status -
}

mkdir -p "$cache"
if [ ! -f "$tarball" ] || ! verify "$tarball"; then
  rm -f "$tarball"
  work=$(mktemp -d "$cache/fetch.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$PACKAGE@$VERSION" >/dev/null)
  if ! verify "$work/$PACKAGE-$VERSION.tgz"; then
    echo "fetch-sqlite: $PACKAGE-$VERSION.tgz does not match the pinned sha256" >&2
    exit 1
  fi
  mv "$work/$PACKAGE-$VERSION.tgz" "$tarball"
fi

mkdir -p "$dest"
rm -f "$dest"/.sqlite-from-*
tar -xzf "$tarball" -C "$dest" --strip-components=3 \
  package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
touch "$stamp"
