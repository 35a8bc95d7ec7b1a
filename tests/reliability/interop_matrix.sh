#!/usr/bin/env bash
# Interoperability matrix: real Debian clients get and put files of 0, 511,
# 512, 513 bytes, 1 MiB and 40 MiB (past the wrap of the 16-bit block number)
# against the real ferry binary, in octet and, where the client offers it,
# netascii. Each transfer is checked byte for byte on disk, and the two log
# lines it leaves on ferry's standard output are checked exactly. Then ferry
# listens on one dual-stack socket (ListenAddress=::) and each client gets
# and puts the same files over IPv6. Last, ferry negotiates options
# (TransferOptions=Negotiate) and the clients that ask for them get and put
# the files again with larger blocks and windows; those transfers log one
# more line, the options agreed. Prints the results as a markdown table;
# fails on any mismatch.
#
# FERRY_MATRIX_SIZES may list fewer sizes for a quick run.

source "$(dirname "$0")/lib.sh"
rel_enter_namespace "$@"
rel_make_scratch 1g

SIZES=(${FERRY_MATRIX_SIZES:-0 511 512 513 1048576 41943040})
SERVED=$REL_SCRATCH/served
CLIENT=$REL_SCRATCH/client
mkdir -p "$SERVED" "$CLIENT"
rel_write_ini "$SERVED" ReadWrite
rel_start_ferry "$SERVED"

for size in "${SIZES[@]}"; do
    "$RELIABILITY_TOOLS/make_file" "$size" "$size" "$SERVED/src-$size.bin" || exit 1
    cp "$SERVED/src-$size.bin" "$CLIENT/src-$size.bin"
done

# The client side of one transfer: client mode direction remote local host.
run_client()
{
    local client=$1 mode=$2 direction=$3 remote=$4 local=$5 host=$6
    local flag=-g url_host=$6
    [ "$direction" = put ] && flag=-p
    # An IPv6 address goes in brackets in a URL; -g keeps curl from reading
    # them as a pattern.
    case $host in *:*) url_host="[$host]" ;; esac
    case $client in
        tftp-hpa)
            if [ "$direction" = get ]; then
                tftp -m "$mode" "$host" -c get "$remote" "$local"
            else
                tftp -m "$mode" "$host" -c put "$local" "$remote"
            fi
            ;;
        atftp)
            # Its batch mode takes the transfer mode through --option.
            atftp --option "mode $mode" "$flag" -r "$remote" -l "$local" "$host"
            ;;
        atftp-options)
            # Asks for 1428-byte blocks and the transfer size; with no
            # option acknowledgement it must fall back to plain RFC 1350.
            atftp --option "mode $mode" --option "blksize 1428" --option "tsize enable" \
                "$flag" -r "$remote" -l "$local" "$host"
            ;;
        curl-no-options)
            if [ "$direction" = get ]; then
                curl -sS -g --tftp-no-options -o "$local" "tftp://$url_host/$remote"
            else
                curl -sS -g --tftp-no-options -T "$local" "tftp://$url_host/$remote"
            fi
            ;;
        curl)
            # Sends tsize, blksize and timeout options, which ferry ignores.
            if [ "$direction" = get ]; then
                curl -sS -g -o "$local" "tftp://$url_host/$remote"
            else
                curl -sS -g -T "$local" "tftp://$url_host/$remote"
            fi
            ;;
        curl-blksize)
            if [ "$direction" = get ]; then
                curl -sS -g --tftp-blksize 1024 -o "$local" "tftp://$url_host/$remote"
            else
                curl -sS -g --tftp-blksize 1024 -T "$local" "tftp://$url_host/$remote"
            fi
            ;;
        busybox)
            busybox tftp "$flag" -r "$remote" -l "$local" "$host"
            ;;
        busybox-options)
            busybox tftp -b 1024 "$flag" -r "$remote" -l "$local" "$host"
            ;;
        curl-blksize-1468)
            if [ "$direction" = get ]; then
                curl -sS -g --tftp-blksize 1468 -o "$local" "tftp://$url_host/$remote"
            else
                curl -sS -g --tftp-blksize 1468 -T "$local" "tftp://$url_host/$remote"
            fi
            ;;
        busybox-1468)
            busybox tftp -b 1468 "$flag" -r "$remote" -l "$local" "$host"
            ;;
        atftp-window)
            atftp --option "mode $mode" --option "blksize 1428" --option "windowsize 16" \
                "$flag" -r "$remote" -l "$local" "$host"
            ;;
    esac
}

# Bytes on the wire: netascii sends each CR and LF of the file as two bytes.
wire_bytes()
{
    local path=$1 mode=$2 size
    size=$(stat -c %s "$path")
    if [ "$mode" = netascii ]; then
        echo $((size + $(tr -cd '\r\n' < "$path" | wc -c)))
    else
        echo "$size"
    fi
}

# The address the clients reach ferry at; the IPv6 rows set ::1.
HOST=127.0.0.1

# One transfer; prints "ok" or the reason it failed, and records figures.
transfer()
{
    local client=$1 mode=$2 direction=$3 size=$4
    local host_re=${HOST//./\\.}
    local source=$CLIENT/src-$size.bin remote local kept expected_line done_line
    local before after started ended bytes
    bytes=$(wire_bytes "$source" "$mode")
    # curl 7.88 refuses an OACK whose tsize is 0 (its own check, whatever
    # the server), so it cannot fetch an empty file while asking for tsize.
    if [ "${NEGOTIATE:-0}" = 1 ] && [ "${client%%-*}" = curl ] && [ "$direction" = get ] &&
        [ "$size" = 0 ]; then
        echo "n/a: curl refuses tsize 0"
        return
    fi
    if [ "$direction" = get ]; then
        remote=src-$size.bin
        local=$CLIENT/got.bin
        kept=$local
        expected_line="$HOST requested to read file $remote in format $mode"
        done_line="^Sent $bytes bytes in (< 1 second|[0-9]+ seconds) to $host_re\$"
    else
        remote=put-$client-$mode-$size.bin
        local=$source
        kept=$SERVED/$remote
        expected_line="$HOST requested to write file $remote in format $mode"
        done_line="^Received $bytes bytes in (< 1 second|[0-9]+ seconds) from $host_re\$"
    fi
    rm -f "$CLIENT/got.bin"
    before=$(wc -l < "$FERRY_LOG")
    started=$(date +%s.%N)
    (cd "$CLIENT" && timeout 300 bash -c "$(declare -f run_client); run_client $client $mode $direction $remote $local $HOST") \
        > "$CLIENT/client.out" 2>&1
    ended=$(date +%s.%N)
    # ferry writes its completion line when the final ACK or DATA reaches it,
    # which may be just after the client has finished.
    local i new
    for ((i = 0; i < 100; i++)); do
        new=$(tail -n +$((before + 1)) "$FERRY_LOG" | sed -e 's/\r$//' -e "s/^$STAMP//")
        [ "$(printf '%s\n' "$new" | grep -cE '^(Sent|Received) ')" -ge 1 ] && break
        sleep 0.1
    done
    # With negotiation on, a transfer whose options were agreed logs them
    # between its two lines.
    if [ "${NEGOTIATE:-0}" = 1 ] &&
        printf '%s\n' "$new" | sed -n 2p | grep -q "^Options agreed with $host_re: "; then
        echo "$client $mode $direction: $(printf '%s\n' "$new" | sed -n 2p | sed 's/^[^:]*: //')" \
            >> "$REL_SCRATCH/negotiated"
        new=$(printf '%s\n' "$new" | sed 2d)
    fi
    local reason=
    if [ ! -f "$kept" ]; then
        reason="no file"
    elif ! cmp -s "$source" "$kept"; then
        reason="content differs"
    elif [ "$(printf '%s\n' "$new" | sed -n 1p)" != "$expected_line" ]; then
        reason="request line: $(printf '%s\n' "$new" | sed -n 1p)"
    elif ! printf '%s\n' "$new" | sed -n 2p | grep -qE "$done_line"; then
        reason="completion line: $(printf '%s\n' "$new" | sed -n 2p)"
    elif [ "$(printf '%s\n' "$new" | wc -l)" -ne 2 ]; then
        reason="extra log lines: $(printf '%s\n' "$new" | sed -n 3p)"
    fi
    [ "$direction" = put ] && rm -f "$kept"
    if [ -n "$reason" ]; then
        fail "$client $mode $direction $size: $reason ($(head -c 200 "$CLIENT/client.out"))"
        echo "FAIL: $reason"
    else
        echo ok
    fi
    if [ "$size" -ge 1048576 ]; then
        echo "$client$ROW_SUFFIX $mode $direction $size $(echo "$started $ended" | awk '{printf "%.1f", $2 - $1}')" \
            >> "$REL_SCRATCH/figures"
    fi
}

label()
{
    case $1 in
        1048576) echo "1 MiB" ;;
        41943040) echo "40 MiB" ;;
        *) echo "$1 B" ;;
    esac
}

rows=(
    "tftp-hpa octet" "tftp-hpa netascii"
    "atftp octet" "atftp netascii"
    "curl-no-options octet"
    "curl octet"
    "curl-blksize octet"
    "busybox octet"
    "busybox-options octet"
    "atftp-options octet"
)

header="| client | mode | direction |"
rule="|---|---|---|"
for size in "${SIZES[@]}"; do
    header+=" $(label "$size") |"
    rule+="---|"
done
table=("$header" "$rule")
ROW_SUFFIX=
run_rows()
{
    local row client mode direction line size
    for row in "$@"; do
        read -r client mode <<< "$row"
        for direction in get put; do
            line="| $client$ROW_SUFFIX | $mode | $direction |"
            for size in "${SIZES[@]}"; do
                line+=" $(transfer "$client" "$mode" "$direction" "$size") |"
            done
            table+=("$line")
            echo "$line" >&2
        done
    done
}
run_rows "${rows[@]}"
rel_check_stamps
rel_stop_ferry

# Every client of Debian 12 also speaks IPv6; one row each, against one
# dual-stack socket.
printf 'ListenAddress=::\r\n' >> "$SERVED/ferry.ini"
rel_start_ferry "$SERVED"
rel_log | grep -qx 'Listening on every IPv4 and IPv6 address, port 69' ||
    fail "no line saying where ferry listens"
HOST=::1
ROW_SUFFIX=" over IPv6"
run_rows "tftp-hpa octet" "atftp octet" "curl-no-options octet" "busybox octet"
rel_check_stamps
rel_stop_ferry

# Options negotiated, over IPv4.
sed -i '/^ListenAddress=/d' "$SERVED/ferry.ini"
printf 'TransferOptions=Negotiate\r\n' >> "$SERVED/ferry.ini"
rel_start_ferry "$SERVED"
HOST=127.0.0.1
ROW_SUFFIX=" negotiating"
NEGOTIATE=1
run_rows "curl octet" "curl-blksize-1468 octet" "atftp-options octet" "atftp-options netascii" \
    "atftp-window octet" "atftp-window netascii" "busybox-1468 octet" "tftp-hpa octet"
rel_check_stamps
rel_stop_ferry

echo
echo "Clients: tftp-hpa $(dpkg-query -W -f='${Version}' tftp-hpa), atftp $(dpkg-query -W -f='${Version}' atftp)," \
    "curl $(dpkg-query -W -f='${Version}' curl), busybox $(dpkg-query -W -f='${Version}' busybox)."
echo "curl and busybox tftp offer no netascii mode. ferry answers no options, as designed, and"
echo "each client must fall back to 512-byte blocks: \"curl\" sends tsize, blksize 512 and timeout,"
echo "\"curl-blksize\" asks for 1024-byte blocks, \"busybox-options\" is busybox tftp -b 1024,"
echo "\"atftp-options\" asks for blksize 1428 and tsize; \"curl-no-options\" is curl --tftp-no-options."
echo "In the \"negotiating\" rows ferry answers options: \"curl-blksize-1468\" is curl --tftp-blksize 1468,"
echo "\"busybox-1468\" is busybox tftp -b 1468, \"atftp-window\" asks for blksize 1428 and windowsize 16."
echo
echo "What each client negotiated (the options line of its largest transfer):"
echo
[ -f "$REL_SCRATCH/negotiated" ] && cat "$REL_SCRATCH/negotiated" |
    awk '{key = $1 " " $2 " " $3; line[key] = $0} END {for (k in line) print "- " line[k]}' | sort
echo
printf '%s\n' "${table[@]}"
echo
echo "Seconds per large transfer (client start to client exit, reported, not asserted):"
echo
echo "| client | mode | direction | size | seconds |"
echo "|---|---|---|---|---|"
[ -f "$REL_SCRATCH/figures" ] && while read -r line; do
    seconds=${line##* }
    line=${line% *}
    size=${line##* }
    line=${line% *}
    direction=${line##* }
    line=${line% *}
    mode=${line##* }
    echo "| ${line% *} | $mode | $direction | $(label "$size") | $seconds |"
done < "$REL_SCRATCH/figures"
rel_finish
