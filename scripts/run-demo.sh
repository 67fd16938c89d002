#!/usr/bin/env bash
# The demo on an already built tree: a development database with a STAFF
# table, a sample workbook and a saved mapping; then the desktop program when
# there is a display, otherwise rowpour-batch load and the loaded rows.
#   ROWPOUR_BUILD_DIR   the build folder (default: build/)
#   ROWPOUR_DEMO_DIR    where the demo's files go (default: <build>/demo-run)
#   ROWPOUR_DEMO_HEADLESS=1   run the batch load even when a display is there
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ROWPOUR_BUILD_DIR:-$root/build}
demo=${ROWPOUR_DEMO_DIR:-$build/demo-run}
devdb="$build/devdb/home/bin/rowpour-devdb"
batch="$build/cli/rowpour-batch"

rm -rf "$demo"
mkdir -p "$demo"
"$devdb" home "$demo/home" >/dev/null
"$devdb" database "$demo/home" DEMO >/dev/null
echo "create user demo identified by demo" | "$devdb" sql "$demo/home" DEMO system/manager >/dev/null
"$devdb" sql "$demo/home" DEMO demo/demo <"$root/demo/schema.sql" >/dev/null
"$build/demo/rowpour-demo-workbook" "$demo/staff.xlsx"
cp "$root/demo/staff.ini" "$demo/staff.ini"

# The date code and the sample data assume day.month.year dates.
export ORACLE_HOME="$demo/home" LC_ALL=C.UTF-8
unset TNS_ADMIN

if [ -n "${DISPLAY:-}" ] && [ -z "${ROWPOUR_DEMO_HEADLESS:-}" ]; then
  cat <<MSG
rowpour demo: the desktop program starts with ORACLE_HOME=$demo/home.
  1. Connect: user demo, password demo, database DEMO.
  2. ORA table: STAFF.  "..." loads the mapping $demo/staff.ini.
  3. source XLS file: $demo/staff.xlsx, start from cell 2, end to cell 7.
  4. Process data.
MSG
  exec "$build/app/rowpour"
fi

echo "== The sample workbook ($demo/staff.xlsx)"
"$batch" cells "$demo/staff.xlsx"
echo
echo "== rowpour-batch load, rows 2 to 7, mapping $demo/staff.ini"
status=0
"$batch" load --userid demo/demo@DEMO --table STAFF --file "$demo/staff.xlsx" --mapping "$demo/staff.ini" \
  --start 2 --end 7 --errors "$demo/errors.log" || status=$?
echo "(exit code $status: 0 all rows loaded or skipped, 1 rows failed, 2 the run ended with an error and nothing was kept, 3 the delete failed, 4 the summary could not be written)"
echo
echo "== Failed rows ($demo/errors.log)"
cat "$demo/errors.log"
echo
echo "== The STAFF table now"
"$batch" sql --userid demo/demo@DEMO "select * from STAFF"
[ "$status" -le 1 ]
