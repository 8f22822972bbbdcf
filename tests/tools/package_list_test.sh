#!/bin/bash
# tools/dev/check_test_programs.sh: it must catch a program a test runs that the package
# list does not bring, wherever the test runs it, even on a machine that has it installed.
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
check=$source_dir/tools/dev/check_test_programs.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/package-list-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_fault <output> <text...>: each text is in the output.
expect_fault() {
    local output=$1 text; shift
    for text in "$@"; do grep -qF -- "$text" <<<"$output" || fail "no \"$text\" in: $output"; done
}

# The real tests against a list without icewm: the display test's window manager loop.
sed 's/ icewm / /' "$source_dir/tools/dev/packages.sh" >"$work/no-icewm.sh"
grep -qw icewm "$work/no-icewm.sh" && fail "the test could not take icewm out of the list"
out=$("$check" "$source_dir" "$work/no-icewm.sh") && fail "a list without icewm passed"
expect_fault "$out" "tests/e2e/display_test.sh runs icewm, from the Debian package icewm"
[ "$(grep -c . <<<"$out")" -eq 2 ] || fail "more than icewm was found wanting: $out"

# A tree of made-up tests: every way the scripts start a program is seen, and nothing that
# only looks like one is.
tree=$work/tree
mkdir -p "$tree/tools/dev" "$tree/tests/e2e"
cp "$source_dir/tools/dev/test_programs.txt" "$tree/tools/dev/"
cat >"$tree/tests/e2e/made_up_test.sh" <<'SCRIPT'
helper() { echo "helper runs nothing"; }
helper && frob_after_and --x
wait_for 5 frob_waited arg
out=$(frob_in_substitution -q)
fail "cannot frobnicate: $(frob_in_message)"
wait_for 3 sh -c "frob_in_sh_c >/dev/null 2>&1"
setpriv --reuid=1 --clear-groups env -u HOME A=b frob_as_other
grep -q x file | frob_in_pipe
for tool in openbox sha1sum; do "$tool"; done
X=1 frob_after_assignment
n=$((RANDOM % 8)) >"$work/redirect_target"
case $n in frob_pattern) helper ;; esac
cat >"$work/f" <<EOF
frob_in_heredoc
EOF
SCRIPT
cat >"$tree/tests/e2e/CMakeLists.txt" <<'CMAKE'
add_executable(project_tool tool.cpp)
add_test(NAME made_up COMMAND frob_in_cmake ${X})
add_test(NAME own COMMAND project_tool)
CMAKE
cat >"$tree/tests/e2e/spawn_test.cpp" <<'CPP'
FILE* p = popen("frob_popened --list", "r");
execlp("frob_execed", "frob_execed", nullptr);
CPP
out=$("$check" "$tree" "$source_dir/tools/dev/packages.sh") && fail "the made-up tests passed"
expected="frob_after_and frob_waited frob_in_substitution frob_in_message frob_in_sh_c frob_as_other
          frob_in_pipe sha1sum frob_after_assignment frob_in_cmake frob_popened frob_execed"
for name in $expected; do
    grep -q " $name, which tools/dev/test_programs.txt does not name" <<<"$out" || fail "$name was not found: $out"
done
grep -qE "made_up_test.sh:3 runs frob_waited" <<<"$out" || fail "the fault does not say where: $out"
for name in helper arg HOME redirect_target frob_pattern frob_in_heredoc RANDOM project_tool openbox; do
    grep -q " $name[ ,]" <<<"$out" && fail "$name was taken for a program: $out"
done

# A list that gives a program the wrong package.
sed 's/^xdotool .*/xdotool icewm/' "$source_dir/tools/dev/test_programs.txt" >"$tree/tools/dev/test_programs.txt"
rm "$tree/tests/e2e/"*
out=$("$check" "$tree" "$source_dir/tools/dev/packages.sh") && fail "xdotool passed as icewm's"
expect_fault "$out" "says xdotool comes from icewm, but /usr/bin/xdotool is from xdotool"

[ "$failures" -eq 0 ] || exit 1
echo "PASS"
