# Shared by the end-to-end scripts: a scratch folder, background processes that end with the
# script, an X server, and checks that stop at the first failure and say what failed, so a broken
# run ends in seconds instead of at the test's time limit.
#   source "$(dirname "$0")/e2e_lib.sh"

scratch=$(mktemp -d)
chmod 755 "$scratch"
e2e_pids=()
e2e_last_pid=
e2e_passes=0

e2e_cleanup() {
    local pid
    for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${e2e_pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$scratch"
}
trap e2e_cleanup EXIT
# A test runner's time limit sends TERM: end through the EXIT trap so nothing is left running.
trap 'exit 1' TERM INT

# e2e_require tool... — skips the whole test (exit 77) when a tool is missing.
e2e_require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}

# e2e_spawn cmd args... — starts a background process that is killed when the script ends. Give
# it a program, not a shell function: a function runs in a subshell whose children outlive it.
e2e_spawn() {
    "$@" &
    e2e_last_pid=$!
    e2e_pids+=("$e2e_last_pid")
}

# wait_until SECONDS "what" cmd args... — polls every 50 ms; stops the script when time runs out.
# SECONDS may have a fraction (0.5).
wait_until() {
    local limit=$1 what=$2
    shift 2
    local whole=${limit%.*} fraction=0
    [[ $limit == *.* ]] && fraction=${limit#*.}
    fraction=$(printf '%-9s' "$fraction" | tr ' ' 0)
    local deadline
    deadline=$(($(date +%s%N) + ${whole:-0} * 1000000000 + 10#$fraction))
    until "$@"; do
        if (($(date +%s%N) >= deadline)); then
            echo "FAIL $what (not within $limit s)"
            exit 1
        fi
        sleep 0.05
    done
    e2e_passes=$((e2e_passes + 1))
    echo "ok   $what"
}

# check "what" cmd args... — one try; stops the script on failure.
check() {
    local what=$1
    shift
    if "$@"; then
        e2e_passes=$((e2e_passes + 1))
        echo "ok   $what"
    else
        echo "FAIL $what"
        exit 1
    fi
}

# e2e_free_display FIRST LAST — prints the first display number in the range that nobody uses.
e2e_free_display() {
    local n
    for n in $(seq "$1" "$2"); do
        if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
            echo ":$n"
            return 0
        fi
    done
    echo "FAIL no free X display in $1..$2" >&2
    exit 1
}

# e2e_xvfb :N [WxHxD] — an X server that survives its clients coming and going, ready on return.
e2e_xvfb() {
    local display=$1 screen=${2:-1920x1080x24}
    e2e_spawn Xvfb "$display" -screen 0 "$screen" -nolisten tcp -noreset
    export DISPLAY=$display
    local deadline=$((SECONDS + 10))
    until xwininfo -root >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            echo "FAIL Xvfb $display did not start"
            exit 1
        fi
        sleep 0.05
    done
}

# e2e_private_home — a home, config, runtime folder and agent homes of the test's own, with no
# agent installed and nothing chosen by the caller's environment.
e2e_private_home() {
    mkdir -p "$scratch/claude" "$scratch/codex" "$scratch/runtime" "$scratch/config"
    chmod 700 "$scratch/runtime"
    export CLAUDE_CONFIG_DIR="$scratch/claude" CODEX_HOME="$scratch/codex"
    export WRENISLAND_FORCE_MISSING=claude,codex,wrenmem
    export XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" HOME="$scratch"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM WRENISLAND_FORCE_OPEN WRENISLAND_SCREEN
}

# e2e_claude_sessions DIR — three Claude sessions from the last hour (5, 10 and 15 minutes old,
# 10k, 20k and 30k tokens) under the Claude home DIR.
e2e_claude_sessions() {
    local now n dir t
    now=$(date +%s)
    for n in 1 2 3; do
        dir="$1/projects/-work-p$n"
        mkdir -p "$dir"
        t=$((now - n * 300))
        printf '%s\n%s\n' \
            "{\"type\":\"user\",\"cwd\":\"/work/p$n\",\"timestamp\":\"$(date -u -d "@$((t - 60))" +%Y-%m-%dT%H:%M:%SZ)\",\"message\":{\"role\":\"user\",\"content\":\"task $n\"}}" \
            "{\"type\":\"assistant\",\"cwd\":\"/work/p$n\",\"timestamp\":\"$(date -u -d "@$t" +%Y-%m-%dT%H:%M:%SZ)\",\"message\":{\"role\":\"assistant\",\"usage\":{\"input_tokens\":$((n * 10000))}}}" \
            >"$dir/00000000-0000-4000-8000-00000000000$n.jsonl"
    done
}

# e2e_done — the closing line every test runner understands.
e2e_done() {
    echo "$e2e_passes passed, 0 failed"
    exit 0
}
