# Sourced by the CI scripts: sanitizer settings under which any report fails the run.
# ASan stops at the first error and LeakSanitizer runs at exit; UBSan is built with
# -fno-sanitize-recover, so a report aborts too (print_stacktrace says where).
# Leaks are suppressed only inside Qt, fontconfig and other system libraries (lsan.supp).
zelvia_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"
export LSAN_OPTIONS="suppressions=$zelvia_repo/tests/sanitizers/lsan.supp:print_suppressions=0"
unset zelvia_repo
