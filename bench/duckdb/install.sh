#!/bin/sh
# Installs DuckDB's Node package for the import benchmark into DEST (outside the source tree):
#   sh bench/duckdb/install.sh DEST
# Never fails: without node, npm or the registry the benchmark says that DuckDB is missing and
# compares with the other tools.
dest=$1
here=$(dirname "$0")
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    echo "node oder npm fehlt: der Import-Benchmark vergleicht ohne DuckDB"
    exit 0
fi
mkdir -p "$dest" || exit 0
cp "$here/run.mjs" "$dest/"
# Installed already for this package.json: no call to the registry.
if cmp -s "$here/package.json" "$dest/package.json" && [ -f "$dest/node_modules/@duckdb/node-api/package.json" ]; then
    exit 0
fi
cp "$here/package.json" "$dest/"
npm install --prefix "$dest" --no-audit --no-fund --loglevel=error ||
    echo "@duckdb/node-api ließ sich nicht installieren: der Import-Benchmark vergleicht ohne DuckDB"
exit 0
