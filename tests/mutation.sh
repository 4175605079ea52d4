#!/usr/bin/env bash
# A small mutation check: does the native suite notice when the code is wrong?
# For each folder it picks sites in the .cpp files with a fixed seed, applies
# one mutant at a time in place (flip a comparison, move an integer constant
# by one, delete a statement), rebuilds build/mut incrementally and runs the
# tests that cover the folder. A failing or timed-out run kills the mutant; a
# mutant that does not compile is not counted. The file is always restored.
#
#   tests/mutation.sh [-n SITES] [-s SEED] [-t SECONDS] [folder ...]
#
# Folders default to engine media effects. Everything runs under nice 19.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root" || exit 1

sites=60
seed=1
timeout_s=0
while getopts "n:s:t:" opt; do
    case $opt in
    n) sites=$OPTARG ;;
    s) seed=$OPTARG ;;
    t) timeout_s=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
folders=("$@")
[ ${#folders[@]} -eq 0 ] && folders=(engine media effects)

build=build/mut
exe=$build/sonvel_core_tests
work=$(mktemp -d)
backup_of=""

restore() {
    if [ -n "$backup_of" ]; then
        # A plain copy gives the file a new time stamp, so ninja rebuilds it.
        cat "$work/backup" >"$backup_of"
        backup_of=""
    fi
}
trap 'restore; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# The tests that exercise each folder. Left out for speed: the soak, the
# real-time playback runs and the tests that shell out to sox, ffmpeg or lame
# (conformance); the scripts under tests/scripts are not run either.
filter_for() {
    case $1 in
    engine) echo 'Engine*:CFIFO.*:SoundRing.*:RingTest*-EngineSoak.*' ;;
    media) echo 'WaveFile*:Mp3*:*/Mp3*:FileTest.*:EffectList.*:EngineRecording.*-WaveFileReader.FilesFromSoxAndFfmpeg' ;;
    effects) echo 'Effect*:EngineRecording.EffectsOn*' ;;
    *) echo '*-EngineSoak.*' ;;
    esac
}

build_tests() {
    nice -n 19 cmake -S . -B "$build" -G Ninja -DSONVEL_BENCH=OFF -DSONVEL_SANITIZE=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -DNDEBUG" \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null &&
        nice -n 19 ninja -C "$build" -j2 sonvel_core_tests >"$work/build.log" 2>&1
}

# Lists the candidate sites of a folder, then prints the sample, one a line:
# file<TAB>line<TAB>kind<TAB>column<TAB>old<TAB>new
pick_sites() {
    python3 - "$1" "$sites" "$seed" <<'EOF'
import glob, random, re, sys

folder, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(f"{seed}:{folder}")
flip = {"<": ">=", ">": "<=", "<=": ">", ">=": "<", "==": "!=", "!=": "=="}
cmp_re = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
num_re = re.compile(r"(?<![\w.'])(\d+)(?![\w.'])")
decl_re = re.compile(r"\s*([A-Za-z_][\w:]*)(<[^;=]*>)?[\s*&]+([A-Za-z_]\w*)\s*(=|\{|\(|;|\[)")
not_types = {"return", "delete", "throw", "else", "case", "goto", "co_return"}

def masked(line):
    # Blanks string and character literals and drops a // comment, so that
    # sites are only found in code.
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  "); i += 2; continue
            out.append(c if c == quote else " ")
            if c == quote: quote = None
        elif c in "\"'":
            quote = c; out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out).ljust(len(line))[:len(line)]

cands = {"cmp": [], "const": [], "delete": []}
for path in sorted(glob.glob(f"{folder}/*.cpp")):
    lines = open(path, encoding="utf-8").read().split("\n")
    in_block, prev = False, "{"
    for n, raw in enumerate(lines, 1):
        code = masked(raw)
        if in_block:
            if "*/" in code: in_block = False
            continue
        if "/*" in code:
            if "*/" not in code: in_block = True
            continue
        s = code.strip()
        if not s:
            continue
        if s.startswith("#") or s.startswith("static_assert"):
            prev = s; continue
        for m in cmp_re.finditer(code):
            cands["cmp"].append((path, n, "cmp", m.start(), m.group(1), flip[m.group(1)]))
        nums = list(num_re.finditer(code))
        # Data tables (many literals on a line) would swamp the sample.
        if nums and len(nums) <= 4:
            m = rng.choice(nums)
            v = int(m.group(1))
            new = v + 1 if v == 0 or rng.random() < 0.5 else v - 1
            cands["const"].append((path, n, "const", m.start(), m.group(1), str(new)))
        # A statement alone on its line, not the body of an unbraced if/for.
        whole = prev.endswith((";", "{", "}", ":"))
        if whole and s.endswith(";") and not s.startswith(("return", "case", "default", "}")):
            d = decl_re.match(re.sub(r"^((const|constexpr|static|auto)\s+)+", "", s) + " ")
            trace = "Trace(" in s
            if not (d and d.group(1) not in not_types) and not trace:
                col = len(raw) - len(raw.lstrip())
                cands["delete"].append((path, n, "delete", col, raw[col:], ";"))
        prev = s

pool = []
for kind in ("cmp", "const", "delete"):
    rng.shuffle(cands[kind])
# Round robin over the kinds, so that a folder rich in one kind is not all of it.
while len(pool) < count and any(cands.values()):
    for kind in ("cmp", "const", "delete"):
        if cands[kind] and len(pool) < count:
            pool.append(cands[kind].pop())
for site in sorted(pool, key=lambda t: (t[0], t[1], t[3])):
    print("\t".join(str(x) for x in site))
EOF
}

# Writes the mutant of one site into its file (after the caller backed it up).
apply_site() {
    python3 - "$@" <<'EOF'
import sys
path, line, col, old, new = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
lines = open(path, encoding="utf-8").read().split("\n")
text = lines[line - 1]
if text[col:col + len(old)] != old:
    sys.exit(f"site moved: {path}:{line}")
lines[line - 1] = text[:col] + new + text[col + len(old):]
open(path, "w", encoding="utf-8").write("\n".join(lines))
EOF
}

start=$(date +%s)
echo "building $build (unmutated)"
if ! build_tests; then
    tail -20 "$work/build.log"
    echo "the unmutated tree does not build" >&2
    exit 1
fi

summary=()
for folder in "${folders[@]}"; do
    filter=$(filter_for "$folder")
    # The last mutant of the folder before was restored but not rebuilt.
    build_tests || { echo "the unmutated tree does not build" >&2; exit 1; }
    t0=$(date +%s)
    if ! nice -n 19 "$exe" --gtest_filter="$filter" >"$work/base.log" 2>&1; then
        tail -20 "$work/base.log"
        echo "$folder: the tests fail without a mutant" >&2
        exit 1
    fi
    base=$(($(date +%s) - t0))
    limit=$timeout_s
    [ "$limit" -gt 0 ] || limit=$((base * 3 + 10))
    echo "== $folder: filter $filter, unmutated run ${base}s, timeout ${limit}s"

    pick_sites "$folder" >"$work/sites"
    total=0 compiled=0 killed=0 survived=0
    survivors=()
    while IFS=$'\t' read -r file line kind col old new; do
        total=$((total + 1))
        cp "$file" "$work/backup"
        backup_of=$file
        if ! apply_site "$file" "$line" "$col" "$old" "$new"; then
            restore
            continue
        fi
        what="$file:$line $kind '$old' -> '$new'"
        if ! nice -n 19 ninja -C "$build" -j2 sonvel_core_tests >"$work/build.log" 2>&1; then
            echo "  no build  $what"
            restore
            continue
        fi
        compiled=$((compiled + 1))
        if timeout -k 5 "$limit" nice -n 19 "$exe" --gtest_filter="$filter" --gtest_fail_fast \
            >"$work/run.log" 2>&1; then
            survived=$((survived + 1))
            survivors+=("$what")
            echo "  SURVIVED  $what"
        else
            killed=$((killed + 1))
            echo "  killed    $what"
        fi
        restore
    done <"$work/sites"
    summary+=("$folder: sites $total, compiled $compiled, killed $killed, survived $survived")
    for s in "${survivors[@]}"; do summary+=("  survivor: $s"); done
done

# Leave build/mut built from the restored sources.
nice -n 19 ninja -C "$build" -j2 sonvel_core_tests >/dev/null 2>&1
echo
echo "mutation check, seed $seed, $sites sites per folder, $(($(date +%s) - start))s"
printf '%s\n' "${summary[@]}"
