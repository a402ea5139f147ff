# Makes a man page from a program's own usage text, so that the page never
# says anything else than the program does.
#
#   cmake -DPROGRAM=<executable> -DHELP_ARG=<help argument> -DTEMPLATE=<page.1.in>
#         -DOUTPUT=<page.1> -DVERSION=<text> -P UsageToMan.cmake
#
# The template is a man page with @OPTIONS@ (the converted usage) and
# @VERSION@ in it. The usage is read line by line:
#   - a leading "#" (a framed usage) is dropped, and so are lines of "#" only
#     and the "Usage:" line (the template has the synopsis);
#   - "-name, text" or "-name [ARG] <2+ blanks> text" starts an option (.TP);
#   - a deeper indented line under an option continues it (an example);
#   - "Heading:" alone becomes a subsection, an empty line a new paragraph;
#   - a line of blanks and "^" only (a marker under the line above) is left out;
#   - anything else is text.
cmake_minimum_required(VERSION 3.25)
foreach(v PROGRAM HELP_ARG TEMPLATE OUTPUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "UsageToMan.cmake: ${v} is not set")
  endif()
endforeach()

# A sanitizer build reports leaks at exit; the usage text is all we want here.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
execute_process(COMMAND ${PROGRAM} ${HELP_ARG}
                OUTPUT_VARIABLE usage RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR usage STREQUAL "")
  message(FATAL_ERROR "UsageToMan.cmake: ${PROGRAM} ${HELP_ARG} failed (${rc}): ${err}")
endif()

# Text for roff: backslashes and minus signs escaped, a leading dot or
# quote made harmless.
function(roff_escape in outvar)
  string(REPLACE "\\" "\\e" s "${in}")
  string(REPLACE "-" "\\-" s "${s}")
  if(s MATCHES "^[.']")
    set(s "\\&${s}")
  endif()
  set(${outvar} "${s}" PARENT_SCOPE)
endfunction()

# Semicolons and brackets would split or glue CMake list elements.
string(REPLACE ";" "<SEMI>" usage "${usage}")
string(REPLACE "[" "<LB>" usage "${usage}")
string(REPLACE "]" "<RB>" usage "${usage}")
string(REPLACE "\n" ";" lines "${usage}")

set(out "")
set(in_option FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^#")
    if(line MATCHES "^#+$")
      continue()
    endif()
    string(REGEX REPLACE "^# ?" "" line "${line}")
  endif()
  if(line MATCHES "^ *[Uu]sage:")
    continue()
  endif()
  if(line MATCHES "^ *\\^+ *$")
    continue()
  endif()
  if(line MATCHES "^ *$")
    string(APPEND out ".PP\n")
    set(in_option FALSE)
  elseif(line MATCHES "^ *(--?[A-Za-z0-9_][-A-Za-z0-9_]*)(( [A-Z][A-Za-z|]*)*)(, +|  +)([^ ].*)$")
    set(name "${CMAKE_MATCH_1}")
    set(args "${CMAKE_MATCH_2}")
    set(text "${CMAKE_MATCH_5}")
    roff_escape("${name}" name)
    roff_escape("${text}" text)
    set(tag "\\fB${name}\\fR")
    if(NOT args STREQUAL "")
      string(STRIP "${args}" args)
      roff_escape("${args}" args)
      string(APPEND tag " \\fI${args}\\fR")
    endif()
    string(APPEND out ".TP\n${tag}\n${text}\n")
    set(in_option TRUE)
  elseif(in_option AND line MATCHES "^        ")
    string(STRIP "${line}" text)
    roff_escape("${text}" text)
    string(APPEND out ".br\n${text}\n")
  elseif(line MATCHES "^([A-Z][^:]*):$")
    roff_escape("${CMAKE_MATCH_1}" text)
    string(APPEND out ".SS ${text}\n")
    set(in_option FALSE)
  else()
    string(STRIP "${line}" text)
    roff_escape("${text}" text)
    if(line MATCHES "^  ")
      string(APPEND out ".br\n")  # an indented list keeps its lines
    endif()
    string(APPEND out "${text}\n")
    set(in_option FALSE)
  endif()
endforeach()
string(REGEX REPLACE "(\\.PP\n)+$" "" out "${out}")
string(REGEX REPLACE "\n$" "" out "${out}")
string(REGEX REPLACE "\\.PP\n(\\.PP\n)+" ".PP\n" out "${out}")

string(REPLACE "<SEMI>" ";" out "${out}")
string(REPLACE "<LB>" "[" out "${out}")
string(REPLACE "<RB>" "]" out "${out}")

file(READ "${TEMPLATE}" page)
string(REPLACE "@OPTIONS@" "${out}" page "${page}")
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
file(WRITE "${OUTPUT}.tmp" "${page}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
