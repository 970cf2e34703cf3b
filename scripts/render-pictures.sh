#!/usr/bin/env bash
# Redraws the README's pictures from a small home of made-up sessions written here with fresh
# times (three Claude Code sessions and one Codex session with its quota), so they look the same
# whatever this machine's agents hold. Build first (./scripts/run.sh or the presets).
set -euo pipefail
cd "$(dirname "$0")/.."
binary=./build/release/src/wrenisland
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
now=$(date +%s)
stamp() { date -u -d "@$1" +%Y-%m-%dT%H:%M:%S.000Z; }

claude() {  # claude PROJECT UUID AGE_SECONDS TOKENS "PROMPT" [working|ended]
    local dir="$home/claude/projects/-home-dev-$1" t=$((now - $3))
    local content='{"type":"text","text":"Done."}'
    # A tool call the agent is waiting on: the turn is still going.
    [[ ${6-} == working ]] && content='{"type":"tool_use","id":"toolu_1","name":"Bash","input":{"command":"make"}}'
    mkdir -p "$dir"
    {
        printf '{"type":"user","sessionId":"%s","cwd":"/home/dev/%s","timestamp":"%s","message":{"role":"user","content":"%s"}}\n' \
            "$2" "$1" "$(stamp $((t - 90)))" "$5"
        printf '{"type":"assistant","sessionId":"%s","cwd":"/home/dev/%s","timestamp":"%s","message":{"role":"assistant","model":"claude-sonnet-4-5","content":[%s],"usage":{"input_tokens":12,"cache_read_input_tokens":%d,"cache_creation_input_tokens":900,"output_tokens":310}}}\n' \
            "$2" "$1" "$(stamp "$t")" "$content" "$4"
        if [[ ${6-} == ended ]]; then
            printf '{"type":"system","subtype":"stop_hook_summary","sessionId":"%s","cwd":"/home/dev/%s","timestamp":"%s"}\n' \
                "$2" "$1" "$(stamp "$t")"
        fi
    } >"$dir/$2.jsonl"
    touch -d "@$t" "$dir/$2.jsonl"
}
claude wren-island 5f0c2a1e-8d3b-4c1a-9e2f-1a2b3c4d5e01 20 96000 "Make the island hang below the top panel" working
claude notes-api 5f0c2a1e-8d3b-4c1a-9e2f-1a2b3c4d5e02 420 41000 "Add pagination to the notes endpoint" ended
claude dotfiles 5f0c2a1e-8d3b-4c1a-9e2f-1a2b3c4d5e03 5400 18000 "Why does my prompt redraw twice?"

day=$(date -u -d "@$now" +%Y/%m/%d)
uuid=0199a1b2-7c3d-7e4f-8a9b-0c1d2e3f4a55
dir="$home/codex/sessions/$day"
mkdir -p "$dir"
t=$((now - 1500))
file="$dir/rollout-$(date -u -d "@$t" +%Y-%m-%dT%H-%M-%S)-$uuid.jsonl"
{
    printf '{"timestamp":"%s","type":"session_meta","payload":{"id":"%s","timestamp":"%s","cwd":"/home/dev/site","originator":"codex_cli_rs","cli_version":"0.89.0"}}\n' \
        "$(stamp $((t - 200)))" "$uuid" "$(stamp $((t - 200)))"
    printf '{"timestamp":"%s","type":"response_item","payload":{"type":"message","role":"user","content":[{"type":"input_text","text":"Port the contact form to the new design"}]}}\n' \
        "$(stamp $((t - 180)))"
    printf '{"timestamp":"%s","type":"event_msg","payload":{"type":"user_message","message":"Port the contact form to the new design","images":[]}}\n' \
        "$(stamp $((t - 180)))"
    printf '{"timestamp":"%s","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"input_tokens":61000,"cached_input_tokens":40000,"output_tokens":2100,"reasoning_output_tokens":800,"total_tokens":63100},"last_token_usage":{"input_tokens":61000,"cached_input_tokens":40000,"output_tokens":2100,"reasoning_output_tokens":800,"total_tokens":63100},"model_context_window":258400},"rate_limits":{"primary":{"used_percent":38.0,"window_minutes":300,"resets_at":%d},"secondary":{"used_percent":61.0,"window_minutes":10080,"resets_at":%d}}}}\n' \
        "$(stamp "$t")" $((now + 7200)) $((now + 300000))
    printf '{"timestamp":"%s","type":"event_msg","payload":{"type":"task_complete","last_agent_message":"Done."}}\n' \
        "$(stamp "$t")"
} >"$file"
touch -d "@$t" "$file"

export HOME="$home" CLAUDE_CONFIG_DIR="$home/claude" CODEX_HOME="$home/codex"
export WRENISLAND_FORCE_MISSING=wrenmem
WRENISLAND_RENDER=docs/island-collapsed.png "$binary"
WRENISLAND_RENDER=docs/island-open.png WRENISLAND_FORCE_OPEN=1 WRENISLAND_FORCE_SELECT=1 "$binary"
ls -l docs/island-*.png
