#!/bin/bash
# sonvel-tool xml FILE: the tree written back in the program's layout; "no
# document" and status 1 when nothing parses.
# Usage: xml_tool.sh KIND WORKDIR TOOL-COMMAND...
set -u
kind=$1 workdir=$2
shift 2
rm -rf "$workdir" && mkdir -p "$workdir" && cd "$workdir" || exit 1
fail=0

check() {  # name expected-file
    if ! cmp -s "$1.out" "$2"; then
        echo "FAIL: $1 output differs"
        od -c "$1.out" | head -20
        fail=1
    fi
}

# A Shift-JIS document with comments, entities and a partial tail.
printf '<?xml version="1.0" encoding="Shift_JIS"?>\r\n<!-- c -->\r\n<config a=\x27x &amp; y\x27>\r\n  <wave_path>C:\\\x95\x5C</wave_path>\r\n  <n>  1   2 </n><e/><p>t\r\n' > sjis.xml
printf '<?xml version="1.0" encoding="utf-8" ?>\r\n<config a="x &amp; y" ><wave_path>C:\\\xE8\xA1\xA8</wave_path>\r\n<n>1 2</n>\r\n<e/>\r\n<p/>\r\n</config>\r\n' > sjis.expected
"$@" xml sjis.xml > sjis.out 2> sjis.err
status=$?
[ $status -eq 0 ] || { echo "FAIL: status $status for sjis.xml"; cat sjis.err; fail=1; }
check sjis sjis.expected

# Its own output reads back unchanged.
"$@" xml sjis.out > again.out 2>/dev/null
check again sjis.out

# Nothing parses: no declaration, binary bytes, an empty file, a missing file.
printf '<config><a>1</a></config>' > nodecl.xml
head -c 4096 /dev/urandom > binary.xml 2>/dev/null || printf '\x00\x01\x02' > binary.xml
: > empty.xml
for f in nodecl.xml binary.xml empty.xml; do
    "$@" xml $f > $f.out 2> $f.err
    status=$?
    [ $status -eq 1 ] || { echo "FAIL: status $status for $f"; fail=1; }
    grep -q "no document" $f.err || { echo "FAIL: no 'no document' for $f"; cat $f.err; fail=1; }
    [ -s $f.out ] && { echo "FAIL: output for $f"; fail=1; }
done
"$@" xml missing.xml > /dev/null 2>&1 && { echo "FAIL: missing file accepted"; fail=1; }

[ $fail -eq 0 ] && echo "xml_tool ($kind): ok"
exit $fail
