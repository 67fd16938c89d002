#!/bin/sh
# Runs the tests of this folder the way they run against a real Oracle
# (ROWPOUR_TEST_ORACLE set, the client found through the environment), with
# a development database standing in for the server, so that the real lane's
# own code (unique tables, their drops, the skips) is exercised by the suite,
# the real-Oracle-only tests included.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tool="$build/devdb/home/bin/rowpour-devdb"
"$tool" home "$work/home" > /dev/null
"$tool" database "$work/home" LANE > /dev/null
printf 'create user lane identified by lane\n' | "$tool" sql "$work/home" LANE system/manager > /dev/null
export ORACLE_HOME="$work/home" TNS_ADMIN="$work/home/network/admin" ROWPOUR_TEST_ORACLE=lane/lane@LANE
"$build/tests/oracle_client/oracle_client_tests" --gtest_brief=1
# The test account holds no table afterwards: every test dropped its own.
left=$(printf 'select count(*) from user_tables\n' | "$tool" sql "$work/home" LANE lane/lane)
test "$left" = 0 || { echo "tables left behind: $left"; exit 1; }
