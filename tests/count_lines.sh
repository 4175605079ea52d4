#!/usr/bin/env bash
# Lines of tests against lines of code, both counted the same way: lines that
# are neither blank nor comment. Tests are the sources under tests/ that test
# (C++ and shell); code is every other C++ source in the tree.
# Files git tracks plus new ones it does not ignore, so build dirs stay out.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# C and C++: drops // lines and /* */ blocks (also when they close mid-line).
count_cpp() {
    awk '
    FNR == 1 { inblock = 0 }
    {
        line = $0; out = ""
        while (length(line) > 0) {
            if (inblock) {
                e = index(line, "*/")
                if (e == 0) { line = ""; break }
                line = substr(line, e + 2); inblock = 0
                continue
            }
            s = index(line, "/*"); c = index(line, "//")
            if (c > 0 && (s == 0 || c < s)) { out = out substr(line, 1, c - 1); line = ""; break }
            if (s > 0) { out = out substr(line, 1, s - 1); line = substr(line, s + 2); inblock = 1; continue }
            out = out line; line = ""
        }
        if (out ~ /[^ \t\r]/) n++
    }
    END { print n + 0 }' "$@"
}

# Shell: drops # lines (the shebang too).
count_sh() {
    awk '!/^[ \t]*(#|$)/ { n++ } END { print n + 0 }' "$@"
}

files=$(git ls-files --cached --others --exclude-standard)
# Files the worktree has deleted but git still lists are left out.
sum() {
    local kind="$1" f
    local -a present=()
    shift
    for f in "$@"; do
        [ -f "$f" ] && present+=("$f")
    done
    if [ ${#present[@]} -eq 0 ]; then echo 0; else "count_$kind" "${present[@]}"; fi
}

# Benchmarks and the two measuring scripts (this one and the mutation check)
# are neither tests nor product code: they are counted and shown on their own.
tool_re='^tests/(bench|winbench)/|^tests/(count_lines|mutation)\.sh$'
mapfile -t tool_cpp < <(grep -E '^tests/.*\.(cpp|h|hpp|cc)$' <<<"$files" | grep -E "$tool_re" || true)
mapfile -t tool_sh < <(grep -E '^tests/.*\.(sh|bash)$' <<<"$files" | grep -E "$tool_re" || true)
mapfile -t test_cpp < <(grep -E '^tests/.*\.(cpp|h|hpp|cc)$' <<<"$files" | grep -vE "$tool_re" || true)
mapfile -t test_sh < <(grep -E '^tests/.*\.(sh|bash)$' <<<"$files" | grep -vE "$tool_re" || true)
mapfile -t code_cpp < <(grep -E '\.(cpp|h|hpp|cc)$' <<<"$files" | grep -v '^tests/' || true)

tests=$(($(sum cpp "${test_cpp[@]}") + $(sum sh "${test_sh[@]}")))
code=$(sum cpp "${code_cpp[@]}")
ratio=$(awk -v t="$tests" -v c="$code" 'BEGIN { printf "%.1f", c ? 100 * t / c : 0 }')
echo "tests: $tests lines (${#test_cpp[@]} C++ files, ${#test_sh[@]} shell scripts)"
echo "code:  $code lines (${#code_cpp[@]} C++ files)"
echo "ratio: $ratio%"
tools=$(($(sum cpp "${tool_cpp[@]}") + $(sum sh "${tool_sh[@]}")))
echo "benchmarks and measuring scripts (in neither count): $tools lines"
