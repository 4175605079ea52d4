#!/bin/bash
# sonvel-tool xml FILE: the tree written back in the program's layout; "no
# document" and status 1 when nothing parses.
# Usage: xml_tool.sh KIND WORKDIR TOOL-COMMAND...
set -u
source "$(dirname "$0")/lib/tool_check.bash"
xml() { "${tool[@]}" xml "$(hostpath "$PWD/$1")"; }
same() { cmp -s "$1" "$2" || { od -c "$1" | head -20; false; }; }

# A Shift-JIS document with comments, entities and a partial tail.
printf '<?xml version="1.0" encoding="Shift_JIS"?>\r\n<!-- c -->\r\n<config a=\x27x &amp; y\x27>\r\n  <wave_path>C:\\\x95\x5C</wave_path>\r\n  <n>  1   2 </n><e/><p>t\r\n' > sjis.xml
printf '<?xml version="1.0" encoding="utf-8" ?>\r\n<config a="x &amp; y" ><wave_path>C:\\\xE8\xA1\xA8</wave_path>\r\n<n>1 2</n>\r\n<e/>\r\n<p/>\r\n</config>\r\n' > sjis.expected
xml sjis.xml > sjis.out 2> sjis.err; check $? "sjis.xml: status 0"
same sjis.out sjis.expected; check $? "sjis.xml written back in the program's layout"
xml sjis.out > again.out 2>/dev/null
same again.out sjis.out; check $? "its own output reads back unchanged"

# Nothing parses: no declaration, binary bytes, an empty file, a missing file.
printf '<config><a>1</a></config>' > nodecl.xml
head -c 4096 /dev/urandom > binary.xml 2>/dev/null || printf '\x00\x01\x02' > binary.xml
: > empty.xml
for f in nodecl.xml binary.xml empty.xml missing.xml; do
    xml $f > $f.out 2> $f.err; check $(( $? != 1 || $(wc -c < $f.out) != 0 )) "$f: status 1, no output"
    [ "$f" = missing.xml ] || grep -q "no document" $f.err; check $? "$f: says \"no document\""
done
exit $fail
