# Runs korvex-cli as a script would: exit status, messages and file bytes.
# cmake -DCLI=<korvex-cli> -DCOMPLETION=<bash completion> -DWORK=<scratch dir> -P cli_test.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(failures 0)

# expect(<name> <exit status> <stderr regex> <args...>)
function(expect name status pattern)
  # Through a file: captured output would lose its carriage returns.
  execute_process(COMMAND "${CLI}" ${ARGN} RESULT_VARIABLE rc OUTPUT_FILE "${WORK}/stdout.bin"
                  ERROR_VARIABLE err)
  file(READ "${WORK}/stdout.bin" out)
  # Notes on what came out add to the other messages; a pattern sees them when it asks.
  if(NOT pattern MATCHES "note: ")
    string(REGEX REPLACE "korvex-cli: note: [^\n]*\n" "" err "${err}")
  endif()
  if(NOT rc STREQUAL "${status}" OR NOT err MATCHES "${pattern}")
    message(SEND_ERROR "${name}: exit ${rc} (want ${status}), stderr: ${err}")
  endif()
  set(last_stdout "${out}" PARENT_SCOPE)
endfunction()

# Line `index` of a file (every line is 33 bytes), compared byte for byte.
function(expect_line name path index expected)
  math(EXPR offset "${index} * 33")
  file(READ "${path}" got OFFSET ${offset} LIMIT 33 HEX)
  string(HEX "${expected}" want)
  if(NOT got STREQUAL want)
    message(SEND_ERROR "${name}: line ${index} is ${got}, want ${want}")
  endif()
endfunction()

function(expect_bytes name path expected)
  file(READ "${path}" got HEX)
  string(HEX "${expected}" want)
  if(NOT got STREQUAL want)
    message(SEND_ERROR "${name}: ${path} holds ${got}, want ${want}")
  endif()
endfunction()

set(pulse --amplitude 1 --pulse-duration 0.0002 --total-duration 0.0002 --sample-rate 10000 --unit s)
set(two_lines "  0.000000e+000 \t  0.0000e+000 \r\n  1.000000e-004 \t  1.0000e+000 \r\n")

expect(two_samples 0 "^$" ${pulse} --output "${WORK}/two.txt")
expect_bytes(two_samples "${WORK}/two.txt" "${two_lines}")

# Milliseconds by default, rate per ms: 110 * 0.1 ms is the pulse end, and its residue stays.
expect(ms_defaults 0 "^$" --amplitude 1 --pulse-duration 11 --total-duration 100
       --sample-rate 10 --output "${WORK}/ms.txt")
file(SIZE "${WORK}/ms.txt" ms_size)
if(NOT ms_size EQUAL 33000)
  message(SEND_ERROR "ms_defaults: ${ms_size} bytes")
endif()
expect_line(ms_defaults "${WORK}/ms.txt" 110 "  1.100000e-002 \t  5.6655e-016 \r\n")

expect(sawtooth 0 "^$" --shape terminal-sawtooth --unit s --amplitude 2 --pulse-duration 0.011
       --total-duration 0.1 --sample-rate 10000 --output "${WORK}/saw.txt")
expect_line(sawtooth "${WORK}/saw.txt" 55 "  5.500000e-003 \t  1.0000e+000 \r\n")
expect_line(sawtooth "${WORK}/saw.txt" 110 "  1.100000e-002 \t  0.0000e+000 \r\n")

# The end sample lands one rounding past the pulse end, and the note says so.
expect(sawtooth_note 0
       "^korvex-cli: note: Peak: the sampled peak is 39.8182 of 40, 0.455 % short: the sample due at the pulse end [(]0.011 s[)] computes to just past it and is 0; the last ramp sample is at 0.01095 s\n$"
       --shape terminal-sawtooth --unit s --amplitude 40 --pulse-duration 0.011
       --total-duration 0.1 --sample-rate 20000 --output "${WORK}/saw40.txt")

expect(to_stdout 0 "^$" ${pulse} --output -)
expect_bytes(to_stdout "${WORK}/stdout.bin" "${two_lines}")

# The last of a repeated option counts, so scripts can override defaults.
expect(repeated 0 "^$" ${pulse} --amplitude 5 --amplitude 1 --output "${WORK}/rep.txt")
expect_bytes(repeated "${WORK}/rep.txt" "${two_lines}")

# An existing file is replaced, not appended to.
file(WRITE "${WORK}/old.txt" "an older and much longer content than two short lines of numbers...")
expect(overwrite 0 "^$" ${pulse} --output "${WORK}/old.txt")
expect_bytes(overwrite "${WORK}/old.txt" "${two_lines}")

expect(cut 0 "^korvex-cli: Note: the record was cut to 2000000 samples; it covers only the first 200 sec.\n$"
       ${pulse} --total-duration 1000 --output "${WORK}/cut.txt")
file(SIZE "${WORK}/cut.txt" cut_size)
if(NOT cut_size EQUAL 66000000)
  message(SEND_ERROR "cut: ${cut_size} bytes")
endif()
file(REMOVE "${WORK}/cut.txt")

expect(too_few 1 "^korvex-cli: Warning:  increase the sample rate.\n$"
       ${pulse} --sample-rate 0 --output "${WORK}/none.txt")
if(EXISTS "${WORK}/none.txt")
  message(SEND_ERROR "too_few: created the file")
endif()
expect(negative_rate 1 "increase the sample rate" ${pulse} --sample-rate -10000 --output "${WORK}/none.txt")

expect(no_folder 1 "^korvex-cli: cannot write ${WORK}/missing/x.txt: No such file or directory\n$"
       ${pulse} --output "${WORK}/missing/x.txt")
if(EXISTS "/dev/full")
  expect(full_disk 1 "^korvex-cli: cannot write /dev/full: No space left on device\n$" ${pulse} --output /dev/full)
endif()

# A nearly full disk: the old file stays exactly as it was, nothing beside it.
# Mounting needs root (as in CI); elsewhere this case is skipped.
file(MAKE_DIRECTORY "${WORK}/full")
execute_process(COMMAND mount -t tmpfs -o size=1m tmpfs "${WORK}/full" RESULT_VARIABLE mounted
                OUTPUT_QUIET ERROR_QUIET)
if(mounted EQUAL 0)
  file(WRITE "${WORK}/full/pulse.txt" "good contents")
  expect(full_tmpfs 1 "^korvex-cli: cannot write ${WORK}/full/pulse.txt: No space left on device\n$"
         ${pulse} --total-duration 200 --output "${WORK}/full/pulse.txt")
  file(READ "${WORK}/full/pulse.txt" kept)
  file(GLOB left RELATIVE "${WORK}/full" "${WORK}/full/*" "${WORK}/full/.*")
  execute_process(COMMAND umount "${WORK}/full")
  if(NOT kept STREQUAL "good contents" OR NOT left STREQUAL "pulse.txt")
    message(SEND_ERROR "full_tmpfs: pulse.txt holds '${kept}', the folder holds ${left}")
  endif()
else()
  message(STATUS "full_tmpfs skipped: cannot mount a tmpfs (needs root)")
endif()

# Paths that name a descriptor already open are written through it as it
# stands: >> appends, pipes carry the bytes, nothing is replaced.
function(expect_shell name script expected_file expected)
  execute_process(COMMAND sh -c "${script}" RESULT_VARIABLE rc ERROR_VARIABLE err)
  file(READ "${expected_file}" got HEX)
  string(HEX "${expected}" want)
  if(NOT rc EQUAL 0 OR NOT got STREQUAL want)
    message(SEND_ERROR "${name}: exit ${rc}, ${err}, ${expected_file} holds ${got}, want ${want}")
  endif()
endfunction()
string(REPLACE ";" " " pulse_args "${pulse}")
file(WRITE "${WORK}/log.txt" "old line\n")
expect_shell(append_stdout "'${CLI}' ${pulse_args} --output /dev/stdout >> '${WORK}/log.txt'"
             "${WORK}/log.txt" "old line\n${two_lines}")
file(CREATE_LINK /dev/stdout "${WORK}/to_stdout" SYMBOLIC)
expect_shell(pipe_through_link "'${CLI}' ${pulse_args} --output '${WORK}/to_stdout' | cat > '${WORK}/piped.txt'"
             "${WORK}/piped.txt" "${two_lines}")
file(WRITE "${WORK}/fd3.txt" "kept\n")
expect_shell(append_fd3 "'${CLI}' ${pulse_args} --output /dev/fd/3 3>> '${WORK}/fd3.txt'"
             "${WORK}/fd3.txt" "kept\n${two_lines}")
if(NOT IS_SYMLINK "${WORK}/to_stdout")
  message(SEND_ERROR "pipe_through_link: the link was replaced")
endif()

# Two outputs into one file would leave only the last: refused, nothing written.
file(WRITE "${WORK}/one.txt" "untouched")
file(CREATE_LINK one.txt "${WORK}/one_link" SYMBOLIC)
foreach(pair "--output;${WORK}/one.txt;--summary;${WORK}/one.txt"
             "--output;${WORK}/one.txt;--srs;${WORK}/../cli_work/one.txt"
             "--summary;${WORK}/one_link;--srs;${WORK}/one.txt"
             "--output;-;--summary;/dev/stdout")
  list(GET pair 0 first)
  list(GET pair 2 second)
  expect("same_file[${pair}]" 2 "^korvex-cli: ${first} and ${second}: both" ${pulse} ${pair})
endforeach()
file(READ "${WORK}/one.txt" one)
if(NOT one STREQUAL "untouched")
  message(SEND_ERROR "same_file: one.txt holds '${one}'")
endif()

# A link that never resolves is refused and stays a link.
file(CREATE_LINK self "${WORK}/self" SYMBOLIC)
file(CREATE_LINK b "${WORK}/a" SYMBOLIC)
file(CREATE_LINK a "${WORK}/b" SYMBOLIC)
foreach(link self a)
  expect("link_loop[${link}]" 1 "^korvex-cli: cannot write ${WORK}/${link}: Too many levels of symbolic links\n$"
         ${pulse} --output "${WORK}/${link}")
  if(NOT IS_SYMLINK "${WORK}/${link}")
    message(SEND_ERROR "link_loop[${link}]: the link was replaced")
  endif()
endforeach()

expect(empty_number 2 "--sample-rate" ${pulse} --output "${WORK}/bad.txt" --sample-rate "")
foreach(bad "1x" " 1" "inf" "nan" "0x10" "1e999" "1,5")
  expect("bad_number[${bad}]" 2 "--sample-rate: '${bad}' is not a finite decimal number" ${pulse}
         --output "${WORK}/bad.txt" --sample-rate "${bad}")
endforeach()
expect(bad_shape 2 "--shape" ${pulse} --shape square --output "${WORK}/bad.txt")
expect(bad_unit 2 "--unit" ${pulse} --unit min --output "${WORK}/bad.txt")
expect(padded_unit 2 "^korvex-cli: --unit: ' s' is not one of ms, s\n" ${pulse} --unit " s" --output "${WORK}/bad.txt")
string(REPEAT "9" 20000 long_value)
expect(long_value 2 "^korvex-cli: --amplitude: '9999999999999999999999999999999999999999…' is not a finite"
       ${pulse} --amplitude "${long_value}x" --output "${WORK}/bad.txt")
expect(no_value 2 "^korvex-cli: --amplitude: 1 required NUMBER missing" ${pulse} --output "${WORK}/bad.txt" --amplitude)
expect(no_target 2 "--output, --summary, --srs or --motion is required" ${pulse})
expect(missing_number 2 "--amplitude is required" --pulse-duration 1 --total-duration 1 --sample-rate 1 --output x)
if(EXISTS "${WORK}/bad.txt")
  message(SEND_ERROR "a usage error created a file")
endif()

# Figures and spectrum: alone, to standard output, or beside the time history.
set(sine --unit s --amplitude 1 --pulse-duration 0.011 --total-duration 0.1 --sample-rate 10000)
expect(summary 0 "^$" ${sine} --summary -)
foreach(pair "samples=1000" "sample_interval_s=0.0001" "cut=OFF" "peak_amplitude=1.0"
             "peak_time_s=0.0055000000000000005" "shape=half-sine" "sample_rate=10000.0")
  string(REPLACE "=" ";" kv "${pair}")
  list(GET kv 0 key)
  list(GET kv 1 want)
  string(JSON got ERROR_VARIABLE json_error GET "${last_stdout}" ${key})
  if(NOT got STREQUAL want)
    message(SEND_ERROR "summary: ${key} is '${got}' ${json_error}, want ${want}")
  endif()
endforeach()
expect(summary_nan 0 "^$" ${sine} --pulse-duration 0 --summary -)
string(JSON kind TYPE "${last_stdout}" velocity_change)
if(NOT kind STREQUAL "NULL")
  message(SEND_ERROR "summary_nan: velocity_change is ${kind}, want null")
endif()

expect(srs 0 "^$" ${sine} --srs -)
string(REGEX MATCHALL "\n[0-9][^\n]*" rows "${last_stdout}")
list(LENGTH rows row_count)
if(NOT row_count EQUAL 80 OR NOT last_stdout MATCHES "^#.*# columns: frequency_hz positive negative maximax\n10 ")
  message(SEND_ERROR "srs: ${row_count} rows in\n${last_stdout}")
endif()
expect(all_three 0 "^$" ${sine} --srs-per-octave 1 --srs "${WORK}/s.txt" --summary "${WORK}/j.json"
       --output "${WORK}/t.txt" --srs-from 20 --srs-to 320 --srs-q 5)
file(STRINGS "${WORK}/s.txt" srs_rows REGEX "^[0-9]")
file(SIZE "${WORK}/t.txt" t_size)
if(NOT srs_rows MATCHES "^20 .*;320 " OR NOT t_size EQUAL 33000 OR NOT EXISTS "${WORK}/j.json")
  message(SEND_ERROR "all_three: ${srs_rows}, ${t_size} bytes")
endif()

foreach(bad "--srs-q;0.5;Q must be greater than 0.5" "--srs-from;0;lowest frequency"
            "--srs-to;5000;not below half the sample rate" "--srs-per-octave;2.5;integer from 1 to 48")
  list(GET bad 0 option)
  list(GET bad 1 value)
  list(GET bad 2 why)
  expect("srs_bad[${option}]" 2 "^korvex-cli: ${option}: [^\n]*${why}" ${sine} --srs "${WORK}/bad.txt"
         ${option} ${value} --output "${WORK}/bad.txt")
endforeach()
# Settings that would run away: too many frequencies, or a filter that
# double precision cannot hold.
expect(srs_too_many 2 "^korvex-cli: --srs-from, --srs-to, --srs-per-octave: the settings ask for 48315 frequencies"
       ${sine} --srs - --srs-from 1e-300 --srs-per-octave 48)
expect(srs_not_finite 2 "^korvex-cli: --srs-from: the lowest frequency, 4.940656458e-324 Hz, is too low"
       ${sine} --srs - --srs-from 5e-324 --srs-per-octave 1)
expect(srs_human_header 0 "^$" --amplitude 1 --pulse-duration 1 --total-duration 2 --sample-rate 200 --srs -)
if(NOT last_stdout MATCHES "10 Hz to 20000 Hz\n")
  message(SEND_ERROR "srs_human_header: ${last_stdout}")
endif()
expect(srs_option_alone 2 "--srs-q requires --srs" ${sine} --srs-q 5 --output "${WORK}/bad.txt")
expect(two_on_stdout 2 "standard output" ${sine} --srs - --summary -)
expect(too_few_any 1 "increase the sample rate" ${sine} --sample-rate 1 --srs "${WORK}/bad.txt"
       --summary "${WORK}/bad.txt")
if(EXISTS "${WORK}/bad.txt")
  message(SEND_ERROR "a refused summary or spectrum created a file")
endif()

# Measured records: analyse and check read what korvex writes, and refuse
# what they cannot read with the place and the exit status.
expect(write_record 0 "^$" --unit s --amplitude 50 --pulse-duration 0.011 --total-duration 0.04
       --sample-rate 10000 --output "${WORK}/shock.txt")
file(STRINGS "${WORK}/shock.txt" shock_lines)
set(values "")
foreach(i RANGE 1 50)  # 5 ms before the shock, as a recorder's pre-trigger keeps
  string(APPEND values "0\n")
endforeach()
foreach(line IN LISTS shock_lines)
  string(REGEX REPLACE "^ *[^ \t]+[ \t]+([^ \t\r]+).*" "\\1" value "${line}")
  string(APPEND values "${value}\n")
endforeach()
file(WRITE "${WORK}/values.txt" "${values}")
expect(analyse_own 0 "^$" analyse "${WORK}/shock.txt" --summary -)
string(JSON samples GET "${last_stdout}" samples)
string(JSON peak GET "${last_stdout}" peak_amplitude)
if(NOT samples EQUAL 400 OR NOT peak STREQUAL "50.0")
  message(SEND_ERROR "analyse_own: ${last_stdout}")
endif()
# Conditioning and trust add nothing unless asked: --offset none keeps the
# summary's bytes, and a clean record has no warnings. A clipped, offset
# record is named on standard error and in the summary; within_limits says
# nothing without a limit.
set(plain_summary "${last_stdout}")
expect(analyse_offset_none 0 "^$" analyse "${WORK}/shock.txt" --summary - --offset none)
if(NOT last_stdout STREQUAL plain_summary OR last_stdout MATCHES "warnings|processing|pulse|events")
  message(SEND_ERROR "analyse_offset_none: ${last_stdout}")
endif()
expect(analyse_no_limit 0 "^$" analyse "${WORK}/shock.txt" --summary - --amplitude-unit g)
string(JSON within TYPE "${last_stdout}" within_limits)
if(NOT within STREQUAL "NULL")
  message(SEND_ERROR "analyse_no_limit: within_limits is ${within}")
endif()
set(clipped_text "")
string(REPLACE "\n" ";" value_lines "${values}")
foreach(line IN LISTS value_lines)
  if(line GREATER 40)
    set(line 40)
  endif()
  string(APPEND clipped_text "${line}\n")
endforeach()
string(APPEND clipped_text "${clipped_text}")
file(WRITE "${WORK}/clipped.txt" "${clipped_text}")
expect(analyse_clipped 0 "^korvex-cli: warning: clipped: [0-9]+ samples at 40 from [0-9.]+ ms[^\n]*\n$"
       analyse "${WORK}/clipped.txt" --time-column none --rate 10000 --column 1 --summary - --events
       --lowpass CFC1000 --offset pre)
string(JSON code GET "${last_stdout}" warnings 0 code)
string(JSON events LENGTH "${last_stdout}" events)
string(JSON design GET "${last_stdout}" processing lowpass design_hz)
if(NOT code STREQUAL "clipped" OR NOT events EQUAL 2 OR NOT design STREQUAL "2077.5")
  message(SEND_ERROR "analyse_clipped: ${last_stdout}")
endif()
expect(analyse_events 0 "" analyse "${WORK}/clipped.txt" --time-column none --rate 10000 --column 1
       --events --event-threshold 20)
if(NOT last_stdout MATCHES "^# shock events: 2\n# event start_s peak_time_s peak duration_s\n1 [^\n]+\n2 ")
  message(SEND_ERROR "analyse_events: ${last_stdout}")
endif()
expect(events_and_srs 2 "--srs and --events: both would write to standard output" analyse
       "${WORK}/shock.txt" --events --srs -)
foreach(case "--event-threshold;1;needs --events" "--lowpass;CFC2;--lowpass: must be CFC60"
             "--lowpass;9000;--lowpass: 9000 needs a design frequency")
  list(POP_FRONT case option value pattern)
  expect("condition_usage[${option} ${value}]" 2 "${pattern}" analyse "${WORK}/shock.txt" --summary -
         ${option} ${value})
endforeach()
set(nominal --amplitude 50 --pulse-duration 11 --time-column none --rate 10000 --column 1)
expect(check_pass 0 "^korvex-cli: PASS: " check "${WORK}/values.txt" ${nominal})
string(JSON pass GET "${last_stdout}" pass)
string(JSON offset GET "${last_stdout}" offset_s)
if(NOT pass STREQUAL "ON" OR offset LESS 0.00499 OR offset GREATER 0.00501)
  message(SEND_ERROR "check_pass: ${last_stdout}")
endif()
expect(check_fail 3 "^korvex-cli: FAIL: band: " check "${WORK}/values.txt" ${nominal} --amplitude 40
       --report "${WORK}/report.json" --band-out "${WORK}/band.txt")
file(READ "${WORK}/report.json" report)
string(JSON pass GET "${report}" pass)
file(STRINGS "${WORK}/band.txt" band_rows REGEX "^[0-9]")
list(LENGTH band_rows band_count)
if(NOT pass STREQUAL "OFF" OR NOT band_count EQUAL 320)
  message(SEND_ERROR "check_fail: pass ${pass}, ${band_count} band rows")
endif()
# korvex's own pulse starts at its first sample: the check says the window
# before it does not fit (never aligning the nominal elsewhere); with a
# pre-time as long as that window the same pulse passes its own check, and a
# pre-time of 0 writes today's bytes.
set(own_pulse --unit s --amplitude 50 --pulse-duration 0.011 --total-duration 0.04
    --sample-rate 10000)
set(own_nominal --amplitude 50 --pulse-duration 11)
expect(check_own_at_start 3
       "^korvex-cli: FAIL: the record starts 4.4 ms too late for the window before the pulse \\(0.4 x 11 ms\\): record with a pre-trigger, or set --window-before 0 and --velocity-window-before 0\n$"
       check "${WORK}/shock.txt" ${own_nominal})
string(JSON reason GET "${last_stdout}" reason)
string(JSON offset GET "${last_stdout}" offset_s)
if(NOT reason STREQUAL "window_before_outside_record" OR NOT offset EQUAL 0)
  message(SEND_ERROR "check_own_at_start: ${last_stdout}")
endif()
expect(pre_time_zero 0 "^$" ${own_pulse} --pre-time 0 --output "${WORK}/shock0.txt")
file(READ "${WORK}/shock.txt" plain HEX)
file(READ "${WORK}/shock0.txt" padded0 HEX)
if(NOT plain STREQUAL padded0)
  message(SEND_ERROR "pre_time_zero: --pre-time 0 changed the bytes")
endif()
expect(pre_time 0 "^$" ${own_pulse} --pre-time 0.0044 --output "${WORK}/shock_pre.txt")
expect_line(pre_time_zeros "${WORK}/shock_pre.txt" 43 "  4.300000e-003 \t  0.0000e+000 \r\n")
expect_line(pre_time_pulse "${WORK}/shock_pre.txt" 45 "  4.500000e-003 \t  1.4278e+000 \r\n")
expect(check_own_pre_time 0 "^korvex-cli: PASS: band: all 320 samples inside, smallest margin 0.2 of the amplitude"
       check "${WORK}/shock_pre.txt" ${own_nominal})
expect(pre_time_negative 2 "--pre-time: the pre-time must be a number of 0 or more" ${own_pulse}
       --pre-time -1 --output "${WORK}/bad.txt")

# A test plan: the options given, saved, give the same report when read
# back (the report carries the plan); an option still overrides the plan.
expect(save_plan 0 "^korvex-cli: PASS: " check "${WORK}/shock_pre.txt" ${own_nominal} --band 0.25
       --srs-tolerance -1.5,3 --srs-q 12 --save-plan "${WORK}/plan.json" --report "${WORK}/r1.json")
expect(read_plan 0 "^korvex-cli: PASS: " check "${WORK}/shock_pre.txt" --plan "${WORK}/plan.json"
       --report "${WORK}/r2.json")
file(READ "${WORK}/r1.json" r1)
file(READ "${WORK}/r2.json" r2)
string(JSON plan_band GET "${r2}" plan tolerances band)
if(NOT r1 STREQUAL r2 OR NOT plan_band EQUAL 0.25)
  message(SEND_ERROR "read_plan: the report differs, or lacks the plan: ${r2}")
endif()
expect(plan_override 3 "^korvex-cli: FAIL: velocity change: " check "${WORK}/shock_pre.txt" --plan
       "${WORK}/plan.json" --amplitude 40)
file(WRITE "${WORK}/bad_plan.json" "{\"tolerances\": {\"bnad\": 0.1}}")
expect(bad_plan 2 "^korvex-cli: --plan: ${WORK}/bad_plan.json: tolerances.bnad: is not a plan key"
       check "${WORK}/shock_pre.txt" --plan "${WORK}/bad_plan.json")

file(WRITE "${WORK}/bad.csv" "t,v\n0,1\n0.1,x\n")
foreach(case "2;^korvex-cli: ${WORK}/bad.csv:3:5: [^\n]*not a number\n$;analyse;${WORK}/bad.csv;--summary"
             "1;^korvex-cli: cannot read ${WORK}/none.csv: No such file or directory\n$;analyse;${WORK}/none.csv;--summary"
             "2;^korvex-cli: ${WORK}/bad.csv:3:5: ;check;${WORK}/bad.csv;--amplitude;1;--pulse-duration;1;--report")
  list(POP_FRONT case status pattern)
  expect("record_error[${case}]" ${status} "${pattern}" ${case} "${WORK}/bad.json")
endforeach()

# A test series: one line per record, the counts, a CSV row each (a name
# with a comma quoted); a record
# that cannot be read is listed, the rest still checked, and it wins the exit.
set(series_pulse --unit s --pulse-duration 0.011 --total-duration 0.05 --sample-rate 100000
    --pre-time 0.0044)
expect(series_good 0 "" ${series_pulse} --amplitude 50 --output "${WORK}/s1.txt")
expect(series_low 0 "" ${series_pulse} --amplitude 40 --output "${WORK}/s2,low.txt")
file(WRITE "${WORK}/s3.txt" "not, a record\n")
set(series_nominal --amplitude 50 --pulse-duration 11)
expect(series_fail 3 "s1.txt: PASS: [^\n]*\n[^\n]*s2,low.txt: FAIL: velocity change[^\n]*\nkorvex-cli: 2 records: 1 pass, 1 fail\n$"
       check "${WORK}/s1.txt" "${WORK}/s2,low.txt" ${series_nominal} --table "${WORK}/series.csv")
file(STRINGS "${WORK}/series.csv" rows)
list(LENGTH rows row_count)
list(GET rows 2 failed_row)
if(NOT row_count EQUAL 3 OR NOT failed_row MATCHES "s2,low.txt\",2,fail,velocity_change,[0-9.e-]+,0\\.79+[0-9]*,,40,0\\.0102")
  message(SEND_ERROR "series_fail: ${rows}")
endif()
expect(series_unread 2 "s3.txt: NOT READ: [^\n]*\n[^\n]*s2,low.txt: FAIL[^\n]*\nkorvex-cli: 3 records: 1 pass, 1 fail, 1 not read\n$"
       check "${WORK}/s1.txt" "${WORK}/s3.txt" "${WORK}/s2,low.txt" ${series_nominal})
string(JSON not_read GET "${last_stdout}" counts not_read)
string(JSON error GET "${last_stdout}" records 1 error)
if(NOT not_read EQUAL 1 OR NOT error MATCHES "s3.txt")
  message(SEND_ERROR "series_unread: ${last_stdout}")
endif()

# Every channel of a scope export: CH2 is CH1 upside down and fails alone.
file(STRINGS "${WORK}/s1.txt" lines)
set(scope "x-axis,CH1,CH2\nsecond,Volt,Volt\n")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^ *([^ \t]+)[ \t]+([^ \t]+) *$" "\\1,\\2,-\\2" row "${line}")
  string(APPEND scope "${row}\n")
endforeach()
file(WRITE "${WORK}/scope.csv" "${scope}")
expect(channels 3 "^korvex-cli: CH1: PASS: [^\n]*\nkorvex-cli: CH2: FAIL: " check "${WORK}/scope.csv"
       ${series_nominal})
string(JSON second GET "${last_stdout}" checks 1 column)
string(JSON second_pass GET "${last_stdout}" checks 1 pass)
if(NOT second STREQUAL "CH2" OR NOT second_pass STREQUAL "OFF")
  message(SEND_ERROR "channels: ${last_stdout}")
endif()

# Conditioning and events in the check, and a required spectrum without a nominal.
expect(check_conditioned 0 "^korvex-cli: event 1: PASS: " check "${WORK}/s1.txt" ${series_nominal}
       --offset pre --lowpass CFC1000 --event all --save-plan "${WORK}/cond_plan.json")
string(JSON method GET "${last_stdout}" processing offset method)
string(JSON event GET "${last_stdout}" event)
file(READ "${WORK}/cond_plan.json" cond_plan)
string(JSON lowpass GET "${cond_plan}" conditioning lowpass)
if(NOT method STREQUAL "pre" OR NOT event EQUAL 1 OR NOT lowpass STREQUAL "CFC1000")
  message(SEND_ERROR "check_conditioned: ${last_stdout} ${cond_plan}")
endif()
expect(check_event_missing 2 "--event: the record has 1 shock events, not 2" check "${WORK}/s1.txt"
       ${series_nominal} --event 2)
expect(check_target_pass 0 "^korvex-cli: PASS: spectrum within -3,3 dB of the target at all 37 frequencies"
       check "${WORK}/s1.txt" --target "100:80,200:57,400:52,800:50.5" --tolerance -3,3)
expect(check_target_fail 3 "^korvex-cli: FAIL: spectrum outside -3,3 dB of the target at [0-9]+ of 40 frequencies"
       check "${WORK}/s1.txt" --target "100:60,1000:80" --tolerance -3,3)
string(JSON worst GET "${last_stdout}" worst margin_db)
string(JSON target_rows LENGTH "${last_stdout}" frequencies)
if(NOT worst LESS 0 OR NOT target_rows EQUAL 40)
  message(SEND_ERROR "check_target_fail: ${worst} ${target_rows}")
endif()
if(EXISTS "${WORK}/bad.json")
  message(SEND_ERROR "a record that could not be read wrote a summary")
endif()
# The reader names a setting as data; korvex-cli words it with its flag.
file(WRITE "${WORK}/named.txt" "time Accel\n0 1\n1 2\n")
file(WRITE "${WORK}/one.txt" "1\n2\n")
expect(record_setting_name 2 "^korvex-cli: ${WORK}/named.txt:1: --column: no column is named \"accel\"; the columns are \"time\", \"Accel\" [(]names are matched with their case: \"Accel\"[?][)]\n$"
       analyse "${WORK}/named.txt" --column accel --summary -)
expect(record_setting_hint 2 "^korvex-cli: ${WORK}/one.txt:1: --column 2: the first line has only 1 field; a record without a time column needs --time-column none --rate HZ\n$"
       analyse "${WORK}/one.txt" --summary -)
expect(record_setting_both 2 "^korvex-cli: ${WORK}/named.txt:1: --column and --time-column both pick column 1\n$"
       analyse "${WORK}/named.txt" --column 1 --summary -)
# A rate whose interval a double cannot hold; input that is no text at all.
expect(record_rate_tiny 2 "^korvex-cli: --rate: 5e-324 is too low: the sample interval"
       analyse "${WORK}/one.txt" --time-column none --rate 5e-324 --column 1 --summary -)
expect(record_binary 2 "^korvex-cli: /dev/zero: not a record korvex reads: [^\n]*korvex reads text records"
       analyse /dev/zero --summary -)

expect(help 0 "^$" --help)
set(help_text "${last_stdout}")
if(NOT last_stdout MATCHES "--sample-rate")
  message(SEND_ERROR "help: ${last_stdout}")
endif()
expect(version 0 "^$" --version)
if(NOT last_stdout STREQUAL "korvex 1.0.0.1\n")
  message(SEND_ERROR "version: '${last_stdout}'")
endif()

# synthesize: a drive for a required spectrum; impossible requests are usage errors.
set(drive --sample-rate 20000 --duration 0.3 --per-octave 6)
expect(synthesize_meets 0 "^$" synthesize --target "20:2,400:40,2000:40" ${drive}
       --format csv --output "${WORK}/drive.csv" --summary "${WORK}/drive.json")
file(READ "${WORK}/drive.json" drive_summary)
string(JSON converged GET "${drive_summary}" converged)
string(JSON final_velocity GET "${drive_summary}" final_velocity)
string(JSON peak_velocity GET "${drive_summary}" peak_velocity)
if(NOT converged STREQUAL "ON" OR final_velocity GREATER 1e-9 OR final_velocity LESS -1e-9)
  message(SEND_ERROR "synthesize_meets: converged ${converged}, final velocity ${final_velocity}")
endif()
file(STRINGS "${WORK}/drive.csv" drive_lines LIMIT_COUNT 2)
if(NOT drive_lines STREQUAL "time_s,acceleration;0,0")
  message(SEND_ERROR "synthesize_meets: CSV starts ${drive_lines}")
endif()
file(WRITE "${WORK}/target.txt" "# frequency level\n20 2\n400 fourty\n")
expect(synthesize_bad_line 2 "--target: .*target.txt:3: the level, 'fourty', is not"
       synthesize --target "${WORK}/target.txt" ${drive} --summary -)
expect(synthesize_no_file 1 "--target: cannot read" synthesize --target "${WORK}/none.txt"
       ${drive} --summary -)
expect(synthesize_nyquist 2 "--target: the target's highest frequency, 12000 Hz, is not below half"
       synthesize --target "100:1,12000:10" ${drive} --summary -)
expect(synthesize_short 2 "--duration: the drive, 0.05 s .* is too short for the wavelet at 20 Hz"
       synthesize --target "20:2,400:40" --sample-rate 20000 --duration 0.05 --summary -)
expect(synthesize_tolerance 2 "--tolerance: LOW,HIGH in dB is needed"
       synthesize --target "20:2,400:40" ${drive} --tolerance 3 --summary -)
expect(synthesize_stroke 0 "warning: the stroke, .* exceeds --max-stroke 0.001 mm"
       synthesize --target "20:2,400:40" ${drive} --amplitude-unit g --max-stroke 0.001
       --output "${WORK}/stroke.txt")
expect(synthesize_unmet 3 "warning: after 1 attempts of 1 iterations"
       synthesize --target "20:2,400:40,2000:40" ${drive} --attempts 1 --max-iterations 1
       --tolerance 0.01,0.01 --summary "${WORK}/unmet.json")

# Every channel of a lab's file: the summary keyed by channel, one spectrum
# table and one motion table with a column set each. Channel CH1 of the
# several is what --column 1 alone gives, byte for byte in its numbers.
set(scope "X,CH1,CH2,Start,Increment,\nSequence,Volt,Volt,0,0.0001\n")
set(lvm_rows "")
foreach(i RANGE 399)
  set(v 0)
  if(i GREATER 100 AND i LESS 200)
    math(EXPR v "50 - (${i} - 150) * (${i} - 150) / 50")
  endif()
  math(EXPR v2 "2 * ${v}")
  string(APPEND scope "${i},${v},${v2},\n")
  if(i LESS 200)
    set(b "")
    if(i LESS 100)
      set(b "${v2}")
    endif()
    string(APPEND lvm_rows "${v}\t${b}\t\n")
  endif()
endforeach()
file(WRITE "${WORK}/scope.csv" "${scope}")
expect(analyse_channels 0 "^$" analyse "${WORK}/scope.csv" --summary "${WORK}/channels.json"
       --srs "${WORK}/channels_srs.txt" --motion "${WORK}/channels_motion.txt")
expect(analyse_one_channel 0 "^$" analyse "${WORK}/scope.csv" --column 1
       --summary "${WORK}/one.json" --srs "${WORK}/one_srs.txt" --motion "${WORK}/one_motion.txt")
file(READ "${WORK}/channels.json" channels_json)
file(READ "${WORK}/one.json" one_json)
string(JSON ch1 GET "${channels_json}" CH1)
string(JSON unit GET "${ch1}" unit)
string(JSON ch1 REMOVE "${ch1}" unit)
string(JSON same EQUAL "${ch1}" "${one_json}")
string(JSON peak1 GET "${channels_json}" CH1 peak_amplitude)
string(JSON peak2 GET "${channels_json}" CH2 peak_amplitude)
if(NOT same OR NOT unit STREQUAL "Volt" OR NOT peak1 STREQUAL "50.0" OR NOT peak2 STREQUAL "100.0")
  message(SEND_ERROR "analyse_channels: CH1 ${ch1} (unit ${unit}, peaks ${peak1} ${peak2}) against ${one_json}")
endif()
foreach(table srs motion)
  file(READ "${WORK}/channels_${table}.txt" several)
  file(READ "${WORK}/one_${table}.txt" one)
  string(REGEX REPLACE "#[^\n]*\n" "" several_rows "${several}")
  string(REGEX REPLACE "#[^\n]*\n" "" one_rows "${one}")
  string(REGEX REPLACE "([^ \n]+ [^ \n]+ [^ \n]+ [^ \n]+) [^\n]*" "\\1" first_rows "${several_rows}")
  if(NOT first_rows STREQUAL one_rows OR one_rows STREQUAL "")
    message(SEND_ERROR "analyse_channels: the ${table} table's CH1 columns differ from --column 1's")
  endif()
endforeach()
if(NOT several MATCHES "\n# columns: time_s CH1_acceleration CH1_velocity CH1_displacement CH2_acceleration CH2_velocity CH2_displacement\n")
  message(SEND_ERROR "analyse_channels: motion header ${several}")
endif()
file(READ "${WORK}/channels_srs.txt" several)
if(NOT several MATCHES "\n# columns: frequency_hz CH1_positive CH1_negative CH1_maximax CH2_positive CH2_negative CH2_maximax\n")
  message(SEND_ERROR "analyse_channels: spectrum header ${several}")
endif()
# Channels at different intervals: one spectrum table at the lowest upper
# limit, said so; no motion table, as they share no time base.
file(WRITE "${WORK}/two_rates.lvm" "LabVIEW Measurement\t\nWriter_Version\t2\nReader_Version\t2\nSeparator\tTab\nDecimal_Separator\t.\nMulti_Headings\tYes\nX_Columns\tNo\n***End_of_Header***\t\n\t\nChannels\t2\t\nSamples\t200\t100\t\nY_Unit_Label\tg\tg\t\nX_Dimension\tTime\tTime\t\nX0\t0\t0\t\nDelta_X\t0.0001\t0.0002\t\n***End_of_Header***\t\nA\tB\tComment\n${lvm_rows}\n")
expect(analyse_two_rates 0 "^$" analyse "${WORK}/two_rates.lvm" --srs "${WORK}/two_rates.txt")
file(READ "${WORK}/two_rates.txt" two_rates)
if(NOT two_rates MATCHES "# Q 10 [^\n]* 10 Hz to 500 Hz\n# units[^\n]*\n# the channels' upper limits differ: all end at the lowest, 500 Hz\n# columns: frequency_hz A_positive")
  message(SEND_ERROR "analyse_two_rates: ${two_rates}")
endif()
expect(analyse_two_rates_motion 2 "--motion: channels A and B have different times; choose one with --column"
       analyse "${WORK}/two_rates.lvm" --motion -)

# The bash completion offers exactly the options and commands that --help lists.
file(READ "${COMPLETION}" completion)
foreach(command "korvex-cli" analyse check synthesize)
  set(args --help)
  if(NOT command STREQUAL "korvex-cli")
    set(args ${command} --help)
  endif()
  execute_process(COMMAND "${CLI}" ${args} OUTPUT_VARIABLE help)
  string(REGEX MATCHALL "\n  (-h,)?--[a-z0-9-]+" help_lines "${help}")
  string(REGEX MATCHALL "--[a-z0-9-]+" help_options "${help_lines}")
  string(REGEX MATCH "# options of ${command}\n[^']*'([^']*)'" found "${completion}")
  string(REGEX MATCHALL "--[a-z0-9-]+" completion_options "${CMAKE_MATCH_1}")
  list(SORT help_options)
  list(SORT completion_options)
  if(NOT help_options STREQUAL completion_options OR help_options STREQUAL "")
    message(SEND_ERROR "completion of ${command}: offers ${completion_options}, --help lists ${help_options}")
  endif()
endforeach()
string(REGEX MATCH "Subcommands:\n(.*)" commands_help "${help_text}")
string(REGEX MATCHALL "\n  [a-z][a-z, ]*[a-z]" command_lines "\n${CMAKE_MATCH_1}")
string(REGEX MATCHALL "[a-z]+" help_commands "${command_lines}")
string(REGEX MATCH "# commands\n[^']*'([^']*)'" found "${completion}")
string(REGEX MATCHALL "[a-z]+" completion_commands "${CMAKE_MATCH_1}")
list(SORT help_commands)
list(SORT completion_commands)
if(NOT help_commands STREQUAL completion_commands OR help_commands STREQUAL "")
  message(SEND_ERROR "completion offers commands ${completion_commands}, --help lists ${help_commands}")
endif()

file(REMOVE_RECURSE "${WORK}")
