# A private print scheduler for the end-to-end tests: cupsd in the foreground with its own
# configuration, spool and socket under $WORK, and the raw queue $QUEUE whose device writes each
# job's document unchanged to $CUPS_OUT/job-<id>.pdf. Another queue is the default, so a test
# has to choose $QUEUE in the printer dialog. CUPS_SERVER points libcups (and with it Qt's
# printer support) at the scheduler, so the program sees these queues only. Sourced after
# lib.sh; call
# start_cups after start_display (`start_cups noqueue` leaves the scheduler without queues).
# Everything stops and goes with $WORK.

QUEUE=zelvia-test
OTHER_QUEUE=zelvia-other

cups_stop() {
    if [[ -n "${CUPSD_PID:-}" ]]; then
        kill "$CUPSD_PID" 2>/dev/null
        wait "$CUPSD_PID" 2>/dev/null
        CUPSD_PID=""
    fi
    return 0
}

# Ends the scheduler as a crash would: the socket stays, nobody answers.
cups_kill() {
    kill -KILL "$CUPSD_PID" 2>/dev/null
    wait "$CUPSD_PID" 2>/dev/null
    CUPSD_PID=""
}

cups_skip() {
    echo "SKIP: $*"
    [[ -f "$CUPS_DIR/log/error_log" ]] && grep -E '^[EW] ' "$CUPS_DIR/log/error_log" | tail -20
    exit $SKIP
}

start_cups() {
    need cupsd lpadmin lpstat cupsenable cupsdisable cupsaccept cupsreject
    CUPS_DIR="$WORK/cups"
    CUPS_OUT="$CUPS_DIR/out"
    trap 'cups_stop; e2e_cleanup' EXIT
    mkdir -p "$CUPS_DIR"/{conf,spool,cache,state,tmp,log,bin/backend} "$CUPS_OUT"
    # Filters and helpers are the system's; the backend folder is ours.
    for d in filter daemon cgi-bin monitor notifier driver; do
        [[ -e "/usr/lib/cups/$d" ]] && ln -s "/usr/lib/cups/$d" "$CUPS_DIR/bin/$d"
    done
    # With no arguments a backend lists its devices; with them it prints one job, reading the
    # document from the file named by argument 6 or else from its input.
    cat >"$CUPS_DIR/bin/backend/jobfile" <<'EOF'
#!/bin/sh
if [ $# -eq 0 ]; then
    echo 'direct jobfile "Unknown" "Job to file"'
    exit 0
fi
dir=${DEVICE_URI#jobfile:}
if [ $# -ge 6 ]; then cat "$6"; else cat; fi >"$dir/job-$1.part" || exit 1
mv "$dir/job-$1.part" "$dir/job-$1.pdf"
EOF
    # Owner-only, so cupsd runs it as its own user and it may write where that user may.
    chmod 0700 "$CUPS_DIR/bin/backend/jobfile"

    local user group system
    if [[ $(id -u) -eq 0 ]]; then
        user=lp group=lp system=root
    else
        user=$(id -un) group=$(id -gn) system=$(id -gn)
    fi
    cat >"$CUPS_DIR/conf/cups-files.conf" <<EOF
User $user
Group $group
SystemGroup $system
ServerRoot $CUPS_DIR/conf
ServerBin $CUPS_DIR/bin
DataDir /usr/share/cups
RequestRoot $CUPS_DIR/spool
CacheDir $CUPS_DIR/cache
StateDir $CUPS_DIR/state
TempDir $CUPS_DIR/tmp
ErrorLog $CUPS_DIR/log/error_log
AccessLog $CUPS_DIR/log/access_log
PageLog $CUPS_DIR/log/page_log
Printcap $CUPS_DIR/printcap
EOF
    cat >"$CUPS_DIR/conf/cupsd.conf" <<EOF
Listen $CUPS_DIR/cups.sock
LogLevel info
Browsing Off
WebInterface No
DefaultAuthType None
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
EOF
    export CUPS_SERVER="$CUPS_DIR/cups.sock"
    local started=$SECONDS
    cupsd -f -c "$CUPS_DIR/conf/cupsd.conf" -s "$CUPS_DIR/conf/cups-files.conf" \
        >"$CUPS_DIR/log/cupsd.out" 2>&1 &
    CUPSD_PID=$!
    for _ in $(seq 100); do
        lpstat -r 2>/dev/null | grep -q 'is running' && break
        kill -0 "$CUPSD_PID" 2>/dev/null || {
            CUPSD_PID=""
            cat "$CUPS_DIR/log/cupsd.out"
            cups_skip "cupsd cannot start here"
        }
        sleep 0.1
    done
    lpstat -r 2>/dev/null | grep -q 'is running' || cups_skip "cupsd did not answer"
    if [[ "${1:-}" == noqueue ]]; then
        return 0
    fi
    # Raw: the document reaches the device as the program sent it.
    lpadmin -p "$QUEUE" -E -v "jobfile:$CUPS_OUT" -m raw 2>/dev/null ||
        cups_skip "cannot add a raw queue"
    mkdir -p "$CUPS_DIR/other"
    lpadmin -p "$OTHER_QUEUE" -E -v "jobfile:$CUPS_DIR/other" -m raw 2>/dev/null &&
        lpadmin -d "$OTHER_QUEUE" || cups_skip "cannot add a default queue"
    echo "scheduler ready in $((SECONDS - started)) s"
}

# The jobs of queue $2 (default $QUEUE): `cups_jobs not-completed` (queued or printing) or
# `cups_jobs all`.
cups_jobs() {
    lpstat -W "$1" -o "${2:-$QUEUE}" 2>/dev/null
}

# Waits up to $1 seconds for job $2's file; prints its path.
wait_job_file() {
    for _ in $(seq $(($1 * 10))); do
        if [[ -f "$CUPS_OUT/job-$2.pdf" ]]; then
            echo "$CUPS_OUT/job-$2.pdf"
            return 0
        fi
        sleep 0.1
    done
    return 1
}
