# bash completion for dravikctl. The options of each subcommand are those of the option table
# (tools/dravikctl/option_table.cpp); a test holds this file to it.
_dravikctl() {
    local cur prev sub
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    sub=${COMP_WORDS[1]}
    local subcommands="frame send query raw identity wall scan search check help"
    local commands="power menu input vol-up vol-down mute up down left right ok return info on off hdmi1 hdmi2 displayport dvi vga usb cms custom media-player ops backlight brightness volume key-lock ir-lock reset wall-on wall-off wall-settings gains temperature hours backlight-query video"
    local queries="temperature hours backlight video gains"
    local target_opts="--ip --serial --model --id --list --mode --device --format --json --verbose --parallel --skip-invalid --trace --help"
    local send_opts="--no-wait --dry-run"
    local out_opts="--format --json --verbose --write-list --trace --help"
    local wall_actions="settings on off power-on power-off locate gains"
    local value_opts="--level --key-lock --ir-lock --matrix --pos --enable --frame-comp --rgb"

    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$subcommands --help --version --trace" -- "$cur"))
        return
    fi
    case $prev in
        --format)
            if [[ $sub == scan ]]; then
                COMPREPLY=($(compgen -W "text json jsonl csv prometheus-sd" -- "$cur"))
            elif [[ $sub == search || $sub == check ]]; then
                COMPREPLY=($(compgen -W "text json jsonl csv" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "text json jsonl csv prometheus" -- "$cur"))
            fi
            return ;;
        --mode) COMPREPLY=($(compgen -W "lan serial" -- "$cur")); return ;;
        --key-lock|--ir-lock|--enable|--frame-comp) COMPREPLY=($(compgen -W "on off" -- "$cur")); return ;;
        --list|--write-list|--trace) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --serial|--device|--port) COMPREPLY=($(compgen -f -- "${cur:-/dev/tty}")); return ;;
        --ip|--model|--id|--level|--matrix|--pos|--rgb|--parallel|--at|--range|--from|--to) return ;;
    esac
    case $sub in
        help) COMPREPLY=($(compgen -W "frame send query raw identity wall scan search check" -- "$cur")) ;;
        frame) COMPREPLY=($(compgen -W "$commands --model --id --trace --help $value_opts" -- "$cur")) ;;
        send) COMPREPLY=($(compgen -W "$commands $target_opts $value_opts $send_opts" -- "$cur")) ;;
        query) COMPREPLY=($(compgen -W "$queries $target_opts" -- "$cur")) ;;
        raw) COMPREPLY=($(compgen -W "${target_opts/--id /} --no-wait" -- "$cur")) ;;
        identity) COMPREPLY=($(compgen -W "$target_opts" -- "$cur")) ;;
        wall) COMPREPLY=($(compgen -W "$wall_actions $target_opts --matrix --pos --enable --frame-comp --rgb --at --dry-run" -- "$cur")) ;;
        scan) COMPREPLY=($(compgen -W "--range --local $out_opts" -- "$cur")) ;;
        search) COMPREPLY=($(compgen -W "--port --model --from --to $out_opts" -- "$cur")) ;;
        check) COMPREPLY=($(compgen -W "--port --list --id --model $out_opts" -- "$cur")) ;;
    esac
}
complete -F _dravikctl dravikctl
