#!/bin/bash
# Every program the tests run must come from a package that tools/dev/packages.sh installs,
# from one those pull in, or from Debian's required base: a test that passes only because
# the program was already on the machine fails on the next fresh one. The programs and
# their packages are listed in tools/dev/test_programs.txt. Run after the packages are
# installed: the dependencies are read from dpkg.
# Usage: tools/dev/check_test_programs.sh [source folder] [packages.sh to check against]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
packages=$(realpath "${2:-$here/packages.sh}")
cd "${1:-$here/../..}"
. "$packages"
map=tools/dev/test_programs.txt
faults=0
fault() { echo "$*"; faults=$((faults + 1)); }

# What the tests run: their scripts, the scripts test.sh and CI run, the test CMake files
# and the C++ tests that start a program.
scripts=$(ls test.sh .ci/run tools/dev/{phases,packages,check_layers}.sh fuzz/*.sh 2>/dev/null || true
          find tests -name '*.sh')
cmake_files=$(find tests fuzz -name CMakeLists.txt 2>/dev/null; ls tools/package/*.cmake 2>/dev/null || true)
# shellcheck disable=SC2086
found=$({
    awk -f "$here/find_commands.awk" $scripts
    grep -HnoE '\bCOMMAND +[A-Za-z0-9_.+-]+( |$|\))' $cmake_files | sed -E 's/:COMMAND +([^ )]*).*/ cmd \1/'
    find tests fuzz \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | xargs -r grep -HnoE \
        '\b(popen|system|exec[lv]p?e?|posix_spawnp?) *\((std::string\()?"[^" ]+' |
        sed -E 's/^([^:]+:[0-9]+):.*"(.*\/)?([^"\/]*)$/\1 cmd \3/'
} || true)

# Names that are no outside program: the shell's own, the scripts' functions, the project's
# programs.
builtins=". : [ [[ ]] alias break builtin cd command continue declare echo eval exec exit export false
          getopts hash jobs kill let local printf pwd read readonly return set shift source test trap true type
          ulimit umask unset wait if then else elif fi case esac for select while until do done in function time"
functions=$(cat $scripts | sed -nE 's/^ *([A-Za-z_][A-Za-z0-9_]*) *\(\).*/\1/p')
project=$(grep -rhoE 'add_executable\( *[A-Za-z0-9_-]+' --include=CMakeLists.txt --include='*.cmake' src tools tests fuzz bench 2>/dev/null |
          sed 's/.*( *//' || true)
known=" $(echo $builtins $functions $project $(awk '!/^#/ && NF {print $1}' "$map")) "

# A name the shell runs must be known; any other bare word that is a program on this
# machine's system folders (a loop over window managers, say) must be in the list too.
while read -r place kind name; do
    [[ $known == *" $name "* ]] && continue
    if [ "$kind" = cmd ]; then
        fault "$place runs $name, which $map does not name: add it with its Debian package"
    else
        for dir in /usr/bin /bin /usr/sbin /sbin /usr/games; do
            [ -x "$dir/$name" ] && [ ! -d "$dir/$name" ] || continue
            fault "$place names the program $name, which $map does not name: add it with its Debian package"
            break
        done
    fi
done <<<"$found"

# The packages the list brings on a fresh machine: those named, what they depend on (of
# alternatives, the first one installed), and Debian's required base.
listed="${game_packages[*]} ${test_packages[*]}"
status=$(dpkg-query -W -f '${Package}\t${db:Status-Abbrev}\t${Essential}\t${Priority}\t${Provides}\t${Pre-Depends}, ${Depends}\n')
closure() {
    awk -F'\t' -v roots="$1" -v base="$2" '
        function bare(d) { sub(/^ +/, "", d); sub(/[ (:].*/, "", d); return d }
        $2 ~ /^ii/ {
            installed[$1] = 1; deps[$1] = $6
            if (base && ($3 == "yes" || $4 == "required")) roots = roots " " $1
            n = split($5, v, ","); for (i = 1; i <= n; i++) if (!(bare(v[i]) in provider)) provider[bare(v[i])] = $1
        }
        END {
            n = split(roots, queue, " ")
            for (i = 1; i <= n; i++) {
                p = queue[i]; if (p in seen) continue
                seen[p] = 1
                if (!(p in installed)) { print "missing " p; continue }
                print "in " p
                m = split(deps[p], group, ",")
                for (j = 1; j <= m; j++) {
                    a = split(group[j], alt, "|"); pick = ""
                    for (k = 1; k <= a && pick == ""; k++) {
                        d = bare(alt[k]); if (d == "") continue
                        if (d in installed) pick = d; else if (d in provider) pick = provider[d]
                    }
                    if (pick != "") queue[++n] = pick
                }
            }
        }' <<<"$status"
}
brought=$(closure "$listed" 1)
for p in $(sed -n 's/^missing //p' <<<"$brought"); do
    [[ " $listed " == *" $p "* ]] && fault "the package list names $p, but it is not installed"
done
brought=" $(sed -n 's/^in //p' <<<"$brought" | tr '\n' ' ') "

# Each program in the list: its package is brought, and the program on the system is that
# package's (or one of its dependencies', as with ImageMagick's alternatives).
declare -A file_of owner_of brings users_of
while read -r name users; do users_of[$name]=$users; done < <(
    awk 'NF == 3 {sub(/:[0-9]+$/, "", $1); if (index(" " u[$3] " ", " " $1 " ") == 0) u[$3] = u[$3] (u[$3] == "" ? "" : " ") $1}
         END {for (n in u) print n, u[n]}' <<<"$found")
while read -r name package <&3; do
    users=${users_of[$name]:-}
    if [ -z "$users" ]; then
        # shellcheck disable=SC2086
        users=$(grep -lw -- "$name" $scripts $cmake_files /dev/null </dev/null | paste -sd ' ' || true)
    fi
    [ "$package" != - ] || continue
    if [[ $brought != *" $package "* ]]; then
        fault "${users:-no test} runs $name, from the Debian package $package, which tools/dev/packages.sh neither installs nor pulls in: add $package to test_packages"
        continue
    fi
    for dir in /usr/bin /bin /usr/sbin /sbin /usr/games; do
        [ -x "$dir/$name" ] && { file_of[$name]=$(readlink -f "$dir/$name"); break; }
    done
    [ -n "${file_of[$name]:-}" ] || fault "$name is not installed, though $package is: is $package the right package for it?"
done 3< <(awk '!/^#/ && NF {print $1, $2}' "$map")
# One dpkg -S for all: it is slow to start. Files of merged /usr may be known by their old path.
while IFS=: read -r owner path; do
    owner_of[${path# }]=${owner%%,*}
done < <(for f in "${file_of[@]}"; do echo "$f"; echo "${f#/usr}"; done | sort -u | xargs -r dpkg -S 2>/dev/null || true)
while read -r name package <&3; do
    [ -n "${file_of[$name]:-}" ] || continue
    file=${file_of[$name]}
    owner=${owner_of[$file]:-${owner_of[${file#/usr}]:-}}
    [ -n "${brings[$package]:-}" ] || brings[$package]=" $(closure "$package" "" | sed -n 's/^in //p' | tr '\n' ' ') "
    [[ ${brings[$package]} == *" ${owner:-?} "* ]] ||
        fault "$map says $name comes from $package, but $file is from ${owner:-no package}"
done 3< <(awk '!/^#/ && NF && $2 != "-" {print $1, $2}' "$map")

[ "$faults" -eq 0 ] || { echo "$faults faults: the package list must bring every program the tests run"; exit 1; }
echo "$(awk '!/^#/ && NF' "$map" | wc -l) programs the tests run, all from the package list"
