# Reads shell scripts and prints "<file>:<line> <cmd|word> <name>" for each plain name: cmd
# where the shell would run it as a program, word for a name in a for loop's list (a loop
# over programs to run). A lexer of the shell this project writes, not of all shell.
BEGIN {
    # Wrappers run a command given in their arguments: how many to skip first, or -1 for
    # options and assignments.
    n = split("wait_for:1 press_until:3 key_until:2 run_to_log:1 phase:2 timeout:1 as_postgres_user:0 " \
              "start_game:0 env:-1 setpriv:-1 runuser:-1 sudo:-1 nice:-1 nohup:0 exec:-1 command:-1 " \
              "time:0 then:0 do:0 else:0 elif:0 if:0 while:0 until:0 !:0", skips, " ")
    for (k = 1; k <= n; k++) { split(skips[k], p, ":"); wrapper[p[1]] = p[2] }
}
function reset_word() { w = ""; plain = 1 }
function push(c) { ctx[++top] = c }
function found(kind, name) { print FILENAME ":" FNR " " kind " " name }
function end_word(   name, ok) {
    if (w == "" && plain) return
    name = w; ok = plain && name ~ /^[A-Za-z0-9_][A-Za-z0-9_.+-]*$/
    reset_word()
    if (redir) { redir = 0; return }
    if (pattern) { if (name == "esac") { pattern = 0; incase = 0; cmdpos = 0 }; return }
    if (array) return
    if (cmdpos && name ~ /^[A-Za-z_][A-Za-z0-9_]*(\[[^]]*\])?\+?=/) return  # an assignment
    if (cmdpos && skip > 0) { skip--; return }
    if (cmdpos && skip < 0) {
        if (skipone) { skipone = 0; return }
        if (name ~ /^-/) { skipone = (name == "-u"); return }
        skip = 0
    }
    if (cmdpos) {
        if (ok) found("cmd", name)
        shc = (name == "sh" || name == "bash")
        if (name == "case") { incase = 1; cmdpos = 0 }
        else if (name == "for") { forlist = 1; cmdpos = 0 }
        else if (name in wrapper) skip = wrapper[name]
        else cmdpos = 0
        return
    }
    if (incase == 1 && name == "in") { incase = 2; pattern = 1; return }
    if (shc == 1 && name == "-c") { shc = 2; return }
    if (forlist == 1) { forlist = (name == "in") ? 2 : 1; return }
    if (forlist == 2 && ok) found("word", name)
}
function separator() { end_word(); forlist = 0; cmdpos = 1; skip = 0; skipone = 0; shc = 0; redir = 0 }
function skip_brace(s, at,   depth, k) {
    for (k = at + 1; k <= length(s); k++) {
        if (substr(s, k, 1) == "{") depth++
        else if (substr(s, k, 1) == "}" && --depth == 0) return k
    }
    return k
}
FNR == 1 { top = 0; ctx[0] = "c"; heredoc = ""; incase = 0; pattern = 0; array = 0; separator() }
{
    line = $0
    if (heredoc != "") { if (line ~ "^[ \t]*" heredoc "[ \t]*$") heredoc = ""; next }
    if (match(line, /<<-?[ \t]*['"]?[A-Za-z_]+['"]?/) && substr(line, RSTART, 3) != "<<<") {
        heredoc = substr(line, RSTART, RLENGTH); gsub(/[<'" \t-]/, "", heredoc)
    }
    len = length(line)
    for (i = 1; i <= len; i++) {
        c = substr(line, i, 1); c2 = substr(line, i, 2); c3 = substr(line, i, 3); t = ctx[top]
        if (t == "s") { if (c == "'") top--; continue }
        if (t == "a") {                          # $(( arithmetic )): no commands inside
            if (c == "(") adepth++
            else if (c == ")" && --adepth == 0) top--
            continue
        }
        if (t == "d") {                          # a double-quoted string
            if (c == "\\") i++
            else if (c == "\"") top--
            else if (c3 == "$((") { push("a"); adepth = 2; i += 2 }
            else if (c2 == "$(") { held_w[top + 1] = w; held_plain[top + 1] = plain; reset_word(); push("c"); separator(); i++ }
            else if (c2 == "${") i = skip_brace(line, i)
            continue
        }
        # Code: "c" (the script, a subshell, $( )), "D" and "S" (the string after sh -c).
        if (c == "\\") { w = w substr(line, i + 1, 1); i++; continue }
        if ((t == "D" && c == "\"") || (t == "S" && c == "'")) { separator(); top--; cmdpos = 0; continue }
        if (c == "#" && w == "" && plain) break
        if (c == " " || c == "\t") { end_word(); continue }
        if (c == "\"" || c == "'") {
            if (shc == 2 && w == "") { push(c == "\"" ? "D" : "S"); separator(); continue }
            plain = 0; w = w c; push(c == "'" ? "s" : "d"); continue
        }
        if (c3 == "$((") { plain = 0; w = w "$"; push("a"); adepth = 2; i += 2; continue }
        if (c2 == "$(") { end_word(); push("c"); separator(); i++; continue }
        if (c2 == "${") { plain = 0; w = w "$"; i = skip_brace(line, i); continue }
        if (c == "$") { plain = 0; w = w c; continue }
        if (c == "(") {
            if (w ~ /=$/) { end_word(); array = 1; continue }
            end_word(); push("c"); separator(); continue
        }
        if (c == ")") {
            if (array) { end_word(); array = 0; continue }
            if (pattern) { reset_word(); pattern = 0; separator(); continue }
            end_word()
            if (top in held_w) { w = held_w[top]; plain = held_plain[top]; delete held_w[top] }
            if (top > 0) top--
            cmdpos = 0; continue
        }
        if (c2 == ";;") { separator(); if (incase) pattern = 1; i++; continue }
        if (c == ";" || c == "|" || c == "&") { separator(); if (c2 == "||" || c2 == "&&") i++; continue }
        if (c == "<" || c == ">") {
            if (w ~ /^[0-9]+$/) reset_word(); else end_word()
            while (substr(line, i + 1, 1) ~ /[<>&|]/) i++
            if (substr(line, i + 1, 1) == "(") { push("c"); separator(); i++; continue }
            redir = 1; continue
        }
        if (w == "" && plain && (c == "{" || c == "}") && substr(line, i + 1, 1) ~ /^([ ;]|)$/) {
            cmdpos = (c == "{"); continue
        }
        w = w c
    }
    if (ctx[top] == "d" || ctx[top] == "s") next  # a string that goes on
    if (substr(line, len, 1) == "\\") { end_word(); next }
    separator()
}
